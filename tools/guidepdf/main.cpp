// guidepdf: typesets one of the import guides (a small HTML page) into a PDF file at build time, so that the
// guides are kept as text beside the code and the user gets a document any viewer opens.
//
//   guidepdf "share/guides/Apple Import Guide.html" "build/src/app/guides/Apple Import Guide.pdf"

#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextDocument>

#include <cstdio>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: guidepdf GUIDE.html GUIDE.pdf\n");
        return 2;
    }
    QFile html(QString::fromLocal8Bit(argv[1]));
    if (!html.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "guidepdf: cannot read %s\n", argv[1]);
        return 1;
    }
    QTextDocument document;
    document.setDefaultFont(QFont(QStringLiteral("DejaVu Sans"), 10));
    document.setDefaultStyleSheet(
        QStringLiteral("h1 { color: #143f78; } h2 { color: #143f78; } li { margin-bottom: 4px; }"));
    document.setHtml(QString::fromUtf8(html.readAll()));

    QPdfWriter pdf(QString::fromLocal8Bit(argv[2]));
    pdf.setPageSize(QPageSize(QPageSize::A4));
    // QTextDocument::print adds margins of 2 cm of its own; the page itself keeps none.
    pdf.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    pdf.setTitle(document.metaInformation(QTextDocument::DocumentTitle));
    pdf.setCreator(QStringLiteral("Mailferry"));
    document.print(&pdf);
    return QFile(QString::fromLocal8Bit(argv[2])).size() > 0 ? 0 : 1;
}
