// Compares the two page renderers on the same pages: poppler's Splash (PdfDocument::render) and
// QtPdf (pdfium). For every page at 1 and 2 pixels per point it measures how far the two images are
// apart and how much ink each lays down, and times both; for each book and scale it writes the
// crops where they differ most, side by side with their difference.
//
//   lyrafold-render-compare OUTPUT_FOLDER BOOK.pdf... [--pages N] [--path-aliased]
//
// --path-aliased asks QtPdf for paths without anti-aliasing (the only control it offers over how
// thin lines come out).
//
// Figures, per page (page.tsv) and per book and scale (the summary on standard output):
// - mad: the mean absolute difference of the grey levels, 0-255;
// - differing: the share of pixels whose grey levels are more than 64 apart;
// - ink: QtPdf's ink over Splash's (ink = the sum of 255 - grey): above 1, QtPdf draws heavier;
// - thin: the same ratio over the pixels that are neither white nor black in either image (the
//   anti-aliased edges of staff lines, stems and beams);
// - splash_ms, qtpdf_ms: the render times of the page.

#include "pdf/engine/PdfDocument.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPdfDocument>
#include <QPdfDocumentRenderOptions>
#include <QTextStream>

#include <cmath>
#include <cstdio>

namespace {

struct Figures {
    double mad = 0;
    double differing = 0;
    double ink = 0;
    double thin = 0;
};

QImage grey(const QImage &image)
{
    return image.convertToFormat(QImage::Format_Grayscale8);
}

Figures compare(const QImage &splash, const QImage &qtpdf)
{
    Figures figures;
    const int width = qMin(splash.width(), qtpdf.width());
    const int height = qMin(splash.height(), qtpdf.height());
    double sum = 0, differing = 0, inkSplash = 0, inkQtPdf = 0, thinSplash = 0, thinQtPdf = 0;
    for (int y = 0; y < height; ++y) {
        const uchar *a = splash.constScanLine(y);
        const uchar *b = qtpdf.constScanLine(y);
        for (int x = 0; x < width; ++x) {
            const int difference = std::abs(int(a[x]) - int(b[x]));
            sum += difference;
            differing += difference > 64;
            inkSplash += 255 - a[x];
            inkQtPdf += 255 - b[x];
            const bool edge = (a[x] > 16 && a[x] < 240) || (b[x] > 16 && b[x] < 240);
            if (edge) {
                thinSplash += 255 - a[x];
                thinQtPdf += 255 - b[x];
            }
        }
    }
    const double pixels = double(width) * height;
    figures.mad = sum / pixels;
    figures.differing = differing / pixels;
    figures.ink = inkSplash > 0 ? inkQtPdf / inkSplash : 1;
    figures.thin = thinSplash > 0 ? thinQtPdf / thinSplash : 1;
    return figures;
}

// The window of the given size with the most difference, on a coarse grid.
QRect worstWindow(const QImage &splash, const QImage &qtpdf, QSize window)
{
    const int width = qMin(splash.width(), qtpdf.width());
    const int height = qMin(splash.height(), qtpdf.height());
    window = window.boundedTo(QSize(width, height));
    QRect best(QPoint(0, 0), window);
    double bestSum = -1;
    const int step = qMax(8, window.width() / 4);
    for (int top = 0; top + window.height() <= height; top += step) {
        for (int left = 0; left + window.width() <= width; left += step) {
            double sum = 0;
            for (int y = top; y < top + window.height(); y += 2) {
                const uchar *a = splash.constScanLine(y);
                const uchar *b = qtpdf.constScanLine(y);
                for (int x = left; x < left + window.width(); x += 2)
                    sum += std::abs(int(a[x]) - int(b[x]));
            }
            if (sum > bestSum) {
                bestSum = sum;
                best = QRect(left, top, window.width(), window.height());
            }
        }
    }
    return best;
}

// Splash | QtPdf | difference (darker where they differ more), each magnified.
QImage sideBySide(const QImage &splash, const QImage &qtpdf, const QRect &crop, int magnify)
{
    const QImage a = splash.copy(crop);
    const QImage b = qtpdf.copy(crop);
    QImage difference(crop.size(), QImage::Format_Grayscale8);
    for (int y = 0; y < crop.height(); ++y) {
        const uchar *pa = a.constScanLine(y);
        const uchar *pb = b.constScanLine(y);
        uchar *out = difference.scanLine(y);
        for (int x = 0; x < crop.width(); ++x)
            out[x] = uchar(255 - qMin(255, 3 * std::abs(int(pa[x]) - int(pb[x]))));
    }
    const int gap = 6;
    const QSize cell = crop.size() * magnify;
    QImage sheet(cell.width() * 3 + gap * 2, cell.height(), QImage::Format_RGB32);
    sheet.fill(QColor(200, 40, 40));
    QPainter painter(&sheet);
    int x = 0;
    for (const QImage &part : {a, b, difference}) {
        painter.drawImage(QRect(QPoint(x, 0), cell), part);
        x += cell.width() + gap;
    }
    return sheet;
}

struct Totals {
    int pages = 0;
    Figures sum;
    Figures worst;
    double splashMs = 0;
    double qtpdfMs = 0;
};

} // namespace

int main(int argc, char *argv[])
{
    // No display needed: everything is drawn into images.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments().mid(1);
    int pageLimit = 40;
    if (const qsizetype at = arguments.indexOf(QStringLiteral("--pages"));
        at >= 0 && at + 1 < arguments.size()) {
        pageLimit = arguments.at(at + 1).toInt();
        arguments.remove(at, 2);
    }
    QPdfDocumentRenderOptions options;
    if (arguments.removeAll(QStringLiteral("--path-aliased")) > 0)
        options.setRenderFlags(QPdfDocumentRenderOptions::RenderFlag::PathAliased);
    if (arguments.size() < 2) {
        std::fputs("usage: lyrafold-render-compare OUTPUT_FOLDER BOOK.pdf... [--pages N] [--path-aliased]\n",
                   stderr);
        return 2;
    }
    const QString output = arguments.takeFirst();
    QDir().mkpath(output);
    QFile pageFile(output + QStringLiteral("/page.tsv"));
    if (!pageFile.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(pageFile.fileName()));
        return 1;
    }
    QTextStream pages(&pageFile);
    pages << "book\tpage\tscale\tmad\tdiffering\tink\tthin\tsplash_ms\tqtpdf_ms\n";
    QTextStream out(stdout);
    out << "book\tscale\tpages\tmad\tmad_max\tdiffering%\tink\tthin\tsplash_ms\tqtpdf_ms\n";

    for (const QString &path : arguments) {
        const QString absolute = QFileInfo(path).absoluteFilePath();
        Result<PdfDocumentPtr> opened = PdfDocument::open(absolute);
        QPdfDocument reference;
        if (!opened || reference.load(absolute) != QPdfDocument::Error::None) {
            std::fprintf(stderr, "cannot open %s\n", qPrintable(path));
            continue;
        }
        const PdfDocument &document = *opened.value();
        const QString name = QFileInfo(path).completeBaseName();
        const int count = qMin(document.pageCount(), pageLimit);
        for (const double scale : {1.0, 2.0}) {
            Totals totals;
            int worstPage = -1;
            QImage worstSplash, worstQtPdf;
            for (int page = 0; page < count; ++page) {
                const QSize size = (document.pageSize(page) * scale).toSize();
                QElapsedTimer timer;
                timer.start();
                const Result<QImage> splash = document.render(page, scale);
                const double splashMs = timer.nsecsElapsed() / 1e6;
                timer.restart();
                const QImage qtpdf = reference.render(page, size, options);
                const double qtpdfMs = timer.nsecsElapsed() / 1e6;
                if (!splash || qtpdf.isNull())
                    continue;
                // QtPdf leaves the paper transparent; the viewer shows pages on white.
                QImage flattened(qtpdf.size(), QImage::Format_RGB32);
                flattened.fill(Qt::white);
                QPainter(&flattened).drawImage(0, 0, qtpdf);
                const QImage a = grey(splash.value());
                const QImage b = grey(flattened);
                const Figures figures = compare(a, b);
                pages << name << '\t' << page + 1 << '\t' << scale << '\t' << figures.mad << '\t'
                      << figures.differing << '\t' << figures.ink << '\t' << figures.thin << '\t' << splashMs
                      << '\t' << qtpdfMs << '\n';
                ++totals.pages;
                totals.sum.mad += figures.mad;
                totals.sum.differing += figures.differing;
                totals.sum.ink += figures.ink;
                totals.sum.thin += figures.thin;
                totals.splashMs += splashMs;
                totals.qtpdfMs += qtpdfMs;
                if (figures.mad > totals.worst.mad) {
                    totals.worst = figures;
                    worstPage = page;
                    worstSplash = a;
                    worstQtPdf = b;
                }
                // The third page of every book too (past title pages), where it differs most.
                if (page == qMin(count - 1, 2)) {
                    const QRect crop = worstWindow(a, b, QSize(260, 160) * scale);
                    sideBySide(a, b, crop, scale > 1 ? 2 : 3)
                        .save(QStringLiteral("%1/%2-p%3-%4x.png").arg(output, name).arg(page + 1).arg(scale));
                }
            }
            if (totals.pages == 0)
                continue;
            if (worstPage >= 0) {
                const QRect crop = worstWindow(worstSplash, worstQtPdf, QSize(260, 160) * scale);
                sideBySide(worstSplash, worstQtPdf, crop, scale > 1 ? 2 : 3)
                    .save(QStringLiteral("%1/%2-worst-p%3-%4x.png")
                              .arg(output, name)
                              .arg(worstPage + 1)
                              .arg(scale));
            }
            const double n = totals.pages;
            out << name << '\t' << scale << '\t' << totals.pages << '\t'
                << QString::number(totals.sum.mad / n, 'f', 2) << '\t'
                << QString::number(totals.worst.mad, 'f', 2) << '\t'
                << QString::number(100 * totals.sum.differing / n, 'f', 3) << '\t'
                << QString::number(totals.sum.ink / n, 'f', 3) << '\t'
                << QString::number(totals.sum.thin / n, 'f', 3) << '\t'
                << QString::number(totals.splashMs / n, 'f', 1) << '\t'
                << QString::number(totals.qtpdfMs / n, 'f', 1) << '\n';
            out.flush();
        }
    }
    return 0;
}
