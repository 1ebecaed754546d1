#include "PdfFixtures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTest>

#include <cairo-pdf.h>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <turbojpeg.h>

#include <algorithm>
#include <functional>
#include <vector>

namespace {

// Opens the file, lets change edit it, and writes it back in place.
void rewrite(const QString &path, const std::function<void(QPDF &, QPDFWriter &)> &change)
{
    const QByteArray temporary = QFile::encodeName(path) + ".rewrite";
    {
        QPDF pdf;
        pdf.processFile(QFile::encodeName(path).constData());
        QPDFWriter writer(pdf, temporary.constData());
        change(pdf, writer);
        writer.write();
    }
    QVERIFY(QFile::remove(path));
    QVERIFY(QFile::rename(QFile::decodeName(temporary), path));
}

QPDFObjectHandle rectangle(const QRectF &r)
{
    return QPDFObjectHandle::newArray(QPDFObjectHandle::Rectangle(r.left(), r.top(), r.right(), r.bottom()));
}

// Parses "<< entries >>" with every "{pN}" replaced by a reference to page N.
QPDFObjectHandle dictionary(QPDF &pdf, const QByteArray &entries)
{
    static const QRegularExpression pageReference(QStringLiteral("\\{p(\\d+)\\}"));
    QString text = QString::fromLatin1(entries);
    QRegularExpressionMatch match;
    while ((match = pageReference.match(text)).hasMatch()) {
        QPDFObjectHandle page = pdf.getAllPages().at(size_t(match.captured(1).toInt() - 1));
        text.replace(match.capturedStart(), match.capturedLength(), QString::fromStdString(page.unparse()));
    }
    return QPDFObjectHandle::parse(&pdf, "<< " + text.toStdString() + " >>");
}

void collectImages(QPDFObjectHandle resources, QList<PdfFixtures::StoredImage> &images, int depth = 0)
{
    if (!resources.isDictionary() || depth > 8)
        return;
    QPDFObjectHandle xobjects = resources.getKey("/XObject");
    if (!xobjects.isDictionary())
        return;
    for (const std::string &key : xobjects.getKeys()) {
        QPDFObjectHandle x = xobjects.getKey(key);
        if (x.getDict().getKey("/Subtype").getName() == "/Image") {
            const auto raw = x.getRawStreamData();
            images.append(
                {QString::fromStdString(x.getDict().getKey("/Filter").unparse()),
                 QByteArray(reinterpret_cast<const char *>(raw->getBuffer()), qsizetype(raw->getSize()))});
        } else {
            collectImages(x.getDict().getKey("/Resources"), images, depth + 1);
        }
    }
}

} // namespace

namespace PdfFixtures {

void write(const QString &path, const QList<Page> &pages, const QList<OutlineItem> &outline)
{
    cairo_surface_t *surface = cairo_pdf_surface_create(QFile::encodeName(path).constData(), 612, 792);
    cairo_t *cr = cairo_create(surface);
    for (const Page &page : pages) {
        cairo_pdf_surface_set_size(surface, page.size.width(), page.size.height());
        cairo_rectangle(cr, 0, 0, page.size.width() / 4, page.size.height() / 4);
        cairo_fill(cr);
        cairo_show_page(cr);
    }
    QList<int> parents;
    for (const OutlineItem &item : outline) {
        parents.resize(item.level);
        const int parent = item.level == 0 ? CAIRO_PDF_OUTLINE_ROOT : parents.at(item.level - 1);
        const QByteArray link = item.page > 0 ? "page=" + QByteArray::number(item.page) : QByteArray();
        parents.append(cairo_pdf_surface_add_outline(surface, parent, item.title.toUtf8().constData(),
                                                     link.constData(), cairo_pdf_outline_flags_t(0)));
    }
    cairo_destroy(cr);
    cairo_surface_finish(surface);
    QCOMPARE(cairo_surface_status(surface), CAIRO_STATUS_SUCCESS);
    cairo_surface_destroy(surface);

    if (std::none_of(pages.begin(), pages.end(), [](const Page &page) {
            return page.rotation != 0 || !page.cropBox.isNull() || page.emptyMediaBox;
        }))
        return;
    rewrite(path, [&](QPDF &pdf, QPDFWriter &) {
        for (qsizetype i = 0; i < pages.size(); ++i) {
            QPDFObjectHandle page = pdf.getAllPages().at(size_t(i));
            if (pages[i].rotation != 0)
                page.replaceKey("/Rotate", QPDFObjectHandle::newInteger(pages[i].rotation));
            if (!pages[i].cropBox.isNull())
                page.replaceKey("/CropBox", rectangle(pages[i].cropBox));
            if (pages[i].emptyMediaBox)
                page.replaceKey("/MediaBox", rectangle(QRectF(0, 0, 0, 0)));
        }
    });
}

void writeSongbook(const QString &path, const QStringList &songs)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QList<OutlineItem> outline;
    for (int i = 0; i < songs.size(); ++i)
        outline.append({songs.at(i), 0, i + 1});
    write(path, QList<Page>(std::max<qsizetype>(songs.size(), 1)), outline);
}

void rewriteOutline(const QString &path, const QList<OutlineNode> &nodes, const QByteArray &catalogEntries)
{
    rewrite(path, [&](QPDF &pdf, QPDFWriter &) {
        std::vector<QPDFObjectHandle> objects;
        for (const OutlineNode &node : nodes)
            objects.push_back(pdf.makeIndirectObject(dictionary(pdf, node.entries)));
        for (qsizetype i = 0; i < nodes.size(); ++i) {
            QPDFObjectHandle item = objects[size_t(i)];
            item.replaceKey("/Title", QPDFObjectHandle::newUnicodeString(nodes[i].title.toStdString()));
            if (nodes[i].first >= 0)
                item.replaceKey("/First", objects.at(size_t(nodes[i].first)));
            if (nodes[i].next >= 0)
                item.replaceKey("/Next", objects.at(size_t(nodes[i].next)));
        }
        QPDFObjectHandle root = pdf.getRoot();
        QPDFObjectHandle outlines = QPDFObjectHandle::parse("<< /Type /Outlines >>");
        if (!objects.empty())
            outlines.replaceKey("/First", objects.front());
        root.replaceKey("/Outlines", pdf.makeIndirectObject(outlines));
        QPDFObjectHandle extra = dictionary(pdf, catalogEntries);
        for (const std::string &key : extra.getKeys())
            root.replaceKey(key, extra.getKey(key));
    });
}

void writeScan(const QString &path, const QList<ScanPage> &pages)
{
    QPDF pdf;
    pdf.emptyPDF();
    for (const ScanPage &scan : pages) {
        QPDFObjectHandle image = QPDFObjectHandle::newStream(&pdf, scan.data.toStdString());
        QPDFObjectHandle dict = image.getDict();
        dict.replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
        dict.replaceKey("/Subtype", QPDFObjectHandle::newName("/Image"));
        dict.replaceKey("/Width", QPDFObjectHandle::newInteger(scan.width));
        dict.replaceKey("/Height", QPDFObjectHandle::newInteger(scan.height));
        dict.replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(scan.bitsPerComponent));
        dict.replaceKey("/ColorSpace", QPDFObjectHandle::parse(scan.colorSpace.toStdString()));
        dict.replaceKey("/Filter", QPDFObjectHandle::newName(scan.filter.toStdString()));
        if (!scan.decode.isEmpty())
            dict.replaceKey("/Decode", QPDFObjectHandle::parse(scan.decode.toStdString()));
        const std::string content = QStringLiteral("q %1 0 0 %2 0 0 cm /Im0 Do Q")
                                        .arg(scan.size.width())
                                        .arg(scan.size.height())
                                        .toStdString();
        QPDFObjectHandle page = pdf.makeIndirectObject(QPDFObjectHandle::parse("<< /Type /Page >>"));
        page.replaceKey("/MediaBox", rectangle(QRectF(QPointF(), scan.size)));
        page.replaceKey("/Resources", QPDFObjectHandle::parse("<< /XObject << >> >>"));
        page.getKey("/Resources").getKey("/XObject").replaceKey("/Im0", image);
        page.replaceKey("/Contents", QPDFObjectHandle::newStream(&pdf, content));
        QPDFPageDocumentHelper(pdf).addPage(QPDFPageObjectHelper(page), false);
    }
    // The writer keeps the name's pointer until it is done.
    const QByteArray name = QFile::encodeName(path);
    QPDFWriter writer(pdf, name.constData());
    writer.write();
}

QByteArray jpeg(const QSize &size, bool cmyk)
{
    const int channels = cmyk ? 4 : 3;
    std::vector<unsigned char> pixels(size_t(size.width() * size.height() * channels));
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            const bool bar = (y / 16) % 4 == 0 && x > size.width() / 8;
            unsigned char *p = &pixels[size_t((y * size.width() + x) * channels)];
            for (int c = 0; c < channels; ++c)
                // CMYK as Adobe stores it, inverted: 255 is no ink.
                p[c] = cmyk ? (c == 3 ? (bar ? 0 : 225) : 255) : (bar ? 0 : 220);
        }
    }
    tjhandle handle = tjInitCompress();
    unsigned char *buffer = nullptr;
    unsigned long length = 0;
    tjCompress2(handle, pixels.data(), size.width(), 0, size.height(), cmyk ? TJPF_CMYK : TJPF_RGB, &buffer,
                &length, TJSAMP_420, 85, 0);
    QByteArray bytes(reinterpret_cast<const char *>(buffer), qsizetype(length));
    tjFree(buffer);
    tjDestroy(handle);
    return bytes;
}

QList<StoredImage> images(const QString &path, int pageIndex)
{
    QPDF pdf;
    pdf.processFile(QFile::encodeName(path).constData());
    QList<StoredImage> found;
    collectImages(
        QPDFPageDocumentHelper(pdf).getAllPages().at(size_t(pageIndex)).getAttribute("/Resources", false),
        found);
    return found;
}

void encrypt(const QString &path, const QByteArray &userPassword)
{
    rewrite(path, [&](QPDF &, QPDFWriter &writer) {
        writer.setR6EncryptionParameters(userPassword.constData(), "owner", true, true, true, true, true,
                                         true, qpdf_r3p_full, true);
    });
}

} // namespace PdfFixtures
