// mailferry-gui: the desktop front end. Files named on the command line are loaded as if they had been dropped.
// `mailferry-gui --self-check` opens the window, confirms that the shipped images and guides are found, and quits:
// an installation is checked with it on the offscreen platform, without waiting for anything.

#include <QApplication>
#include <QStringList>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <filesystem>

#include "app/main_window.h"
#include "encoding/code_page_table.h"
#include "platform/settings_store.h"
#include "platform/shipped_files.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Mailferry"));
    // A file-size limit makes writes fail (and the report say so) instead of ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    // The code-page probe runs once, before the encoding menu is built.
    mailferry::init_text_encodings();

    mailferry::MainWindow window(mailferry::platform::standard_settings());
    window.show();
    const QStringList files = QApplication::arguments().mid(1);
    if (files == QStringList{QStringLiteral("--self-check")}) {
        int status = 0;
        for (const char* name : {"icons/Success.svg", "icons/Store.svg", "guides/Apple Import Guide.pdf"}) {
            if (std::filesystem::is_regular_file(mailferry::platform::shipped_file_path(name))) continue;
            std::fprintf(stderr, "mailferry-gui: shipped file %s not found\n", name);
            status = 1;
        }
        // Quits from inside the event loop, once the window has been shown.
        QTimer::singleShot(0, &app, [status] { QApplication::exit(status); });
        const int result = QApplication::exec();
        if (result == 0) std::puts("window opened");
        return result;
    }
    if (!files.isEmpty())
        QMetaObject::invokeMethod(
            &window, [&window, files] { window.openPSTFilesInBackground(files); }, Qt::QueuedConnection);
    return QApplication::exec();
}
