#include "PdfFixtures.h"

#include <QFile>
#include <QTest>

#include <cairo-pdf.h>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFWriter.hh>

#include <functional>

namespace {

QPDFObjectHandle rectangle(const QRectF &r)
{
    return QPDFObjectHandle::newArray(QPDFObjectHandle::Rectangle(r.left(), r.top(), r.right(), r.bottom()));
}

// Opens the file, lets change edit it, and writes it back in place.
void rewrite(const QString &path, const std::function<void(QPDF &, QPDFWriter &)> &change)
{
    const QByteArray file = QFile::encodeName(path);
    const QByteArray temporary = file + ".rewrite";
    {
        QPDF pdf;
        pdf.processFile(file.constData());
        QPDFWriter writer(pdf, temporary.constData());
        writer.setStaticID(true);
        change(pdf, writer);
        writer.write();
    }
    QVERIFY(QFile::remove(path));
    QVERIFY(QFile::rename(QFile::decodeName(temporary), path));
}

QPDFObjectHandle fitDestination(QPDFObjectHandle target)
{
    return QPDFObjectHandle::newArray({target, QPDFObjectHandle::newName("/Fit")});
}

} // namespace

namespace PdfFixtures {

QString testData(const char *relativePath)
{
    return QStringLiteral(LYRAFOLD_TESTDATA_DIR "/") + QLatin1String(relativePath);
}

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

    const bool needsBoxes = std::any_of(pages.begin(), pages.end(), [](const Page &page) {
        return page.rotation != 0 || !page.cropBox.isNull() || page.emptyMediaBox;
    });
    if (!needsBoxes)
        return;
    rewrite(path, [&](QPDF &pdf, QPDFWriter &) {
        const std::vector<QPDFObjectHandle> &written = pdf.getAllPages();
        for (qsizetype i = 0; i < pages.size(); ++i) {
            QPDFObjectHandle page = written.at(size_t(i));
            if (pages[i].rotation != 0)
                page.replaceKey("/Rotate", QPDFObjectHandle::newInteger(pages[i].rotation));
            if (!pages[i].cropBox.isNull())
                page.replaceKey("/CropBox", rectangle(pages[i].cropBox));
            if (pages[i].emptyMediaBox)
                page.replaceKey("/MediaBox", rectangle(QRectF(0, 0, 0, 0)));
        }
    });
}

void rewriteOutline(const QString &path, const QList<OutlineNode> &nodes)
{
    rewrite(path, [&](QPDF &pdf, QPDFWriter &) {
        const std::vector<QPDFObjectHandle> &pages = pdf.getAllPages();
        std::vector<QPDFObjectHandle> objects;
        for (qsizetype i = 0; i < nodes.size(); ++i)
            objects.push_back(pdf.makeIndirectObject(QPDFObjectHandle::newDictionary()));

        QPDFObjectHandle root = pdf.getRoot();
        QPDFObjectHandle names = QPDFObjectHandle::newArray(); // sorted: the names grow with i
        QPDFObjectHandle dests = QPDFObjectHandle::newDictionary();
        for (qsizetype i = 0; i < nodes.size(); ++i) {
            const OutlineNode &node = nodes[i];
            QPDFObjectHandle item = objects[size_t(i)];
            item.replaceKey("/Title", QPDFObjectHandle::newUnicodeString(node.title.toStdString()));
            if (node.first >= 0)
                item.replaceKey("/First", objects.at(size_t(node.first)));
            if (node.next >= 0)
                item.replaceKey("/Next", objects.at(size_t(node.next)));
            if (node.page <= 0 || node.destination == Destination::None)
                continue;
            QPDFObjectHandle page = pages.at(size_t(node.page - 1));
            const std::string name = QStringLiteral("n%1").arg(i, 5, 10, QLatin1Char('0')).toStdString();
            switch (node.destination) {
            case Destination::None:
                break;
            case Destination::PageReference:
                item.replaceKey("/Dest", fitDestination(page));
                break;
            case Destination::PageNumber:
                item.replaceKey("/Dest", fitDestination(QPDFObjectHandle::newInteger(node.page - 1)));
                break;
            case Destination::NamedString:
                names.appendItem(QPDFObjectHandle::newString(name));
                names.appendItem(fitDestination(page));
                item.replaceKey("/Dest", QPDFObjectHandle::newString(name));
                break;
            case Destination::NamedObject:
                dests.replaceKey("/" + name, fitDestination(page));
                item.replaceKey("/Dest", QPDFObjectHandle::newName("/" + name));
                break;
            case Destination::GoToNamed: {
                QPDFObjectHandle target = QPDFObjectHandle::newDictionary();
                target.replaceKey("/D", fitDestination(page));
                names.appendItem(QPDFObjectHandle::newString(name));
                names.appendItem(target);
                item.replaceKey("/A", QPDFObjectHandle::parse("<< /S /GoTo /D (" + name + ") >>"));
                break;
            }
            case Destination::GoToPageReference: {
                QPDFObjectHandle action = QPDFObjectHandle::parse("<< /S /GoTo >>");
                action.replaceKey("/D", fitDestination(page));
                item.replaceKey("/A", action);
                break;
            }
            case Destination::UnknownName:
                item.replaceKey("/Dest", QPDFObjectHandle::newString("nowhere"));
                break;
            case Destination::RemoteGoTo:
                item.replaceKey("/A", QPDFObjectHandle::parse("<< /S /GoToR /F (other.pdf) /D [0 /Fit] >>"));
                break;
            }
        }
        root.removeKey("/Names");
        root.removeKey("/Dests");
        if (names.getArrayNItems() > 0) {
            QPDFObjectHandle destTree = QPDFObjectHandle::newDictionary();
            destTree.replaceKey("/Names", names);
            QPDFObjectHandle nameDictionary = QPDFObjectHandle::newDictionary();
            nameDictionary.replaceKey("/Dests", destTree);
            root.replaceKey("/Names", nameDictionary);
        }
        if (!dests.getKeys().empty())
            root.replaceKey("/Dests", dests);

        QPDFObjectHandle outlines = QPDFObjectHandle::parse("<< /Type /Outlines >>");
        if (!objects.empty())
            outlines.replaceKey("/First", objects.front());
        root.replaceKey("/Outlines", pdf.makeIndirectObject(outlines));
    });
}

void encrypt(const QString &path, const QByteArray &userPassword)
{
    rewrite(path, [&](QPDF &, QPDFWriter &writer) {
        writer.setR6EncryptionParameters(userPassword.constData(), "owner", true, true, true, true, true,
                                         true, qpdf_r3p_full, true);
    });
}

} // namespace PdfFixtures
