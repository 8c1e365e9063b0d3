// mailferry-gui: the desktop front end. Files named on the command line are loaded as if they had been dropped.

#include <QApplication>
#include <QStringList>
#include <csignal>

#include "app/main_window.h"
#include "encoding/code_page_table.h"
#include "platform/settings_store.h"

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
    if (!files.isEmpty())
        QMetaObject::invokeMethod(
            &window, [&window, files] { window.openPSTFilesInBackground(files); }, Qt::QueuedConnection);
    return QApplication::exec();
}
