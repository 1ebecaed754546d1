#include "pdf/engine/PdfWriter.h"

#include "core/common/UiText.h"
#include "pdf/engine/PdfDrawingStream.h"
#include "pdf/engine/PdfFileInput.h"
#include "pdf/engine/PdfSupport.h"

#include <QBuffer>
#include <QFile>
#include <QHash>
#include <QSaveFile>

#include <qpdf/PDFVersion.hh>
#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <cmath>
#include <set>
#include <string>
#include <vector>

namespace {

using OH = QPDFObjectHandle;

struct Cancelled : std::exception {};

// Numbers in content streams: PDF has no exponent notation.
std::string number(double value)
{
    if (!std::isfinite(value) || std::abs(value) < 1e-9)
        return "0";
    std::string text = QByteArray::number(value, 'f', 6).toStdString();
    while (text.back() == '0')
        text.pop_back();
    if (text.back() == '.')
        text.pop_back();
    return text;
}

std::string matrix(const QTransform &t)
{
    return number(t.m11()) + ' ' + number(t.m12()) + ' ' + number(t.m21()) + ' ' + number(t.m22()) + ' ' +
           number(t.dx()) + ' ' + number(t.dy()) + " cm";
}

OH rectangle(const QRectF &r)
{
    return OH::newArray(OH::Rectangle(r.left(), r.top(), r.right(), r.bottom()));
}

// Turns a page into a form XObject of its own file, showing box. The page's single content stream
// becomes the form itself, so that its data is copied as it is, never decoded and compressed again;
// when the stream serves another page already, or the page has several, qpdf joins them into a new
// one. keepGroup keeps the page's transparency group: an overlay drops it, so that a highlighter
// multiplies with the page below rather than with nothing.
OH pageForm(QPDFPageObjectHelper page, const QRectF &box, std::set<QPDFObjGen> &usedStreams, bool keepGroup)
{
    OH contents = page.getObjectHandle().getKey("/Contents");
    OH form;
    if (contents.isStream() && contents.isIndirect() && usedStreams.insert(contents.getObjGen()).second) {
        OH dict = contents.getDict();
        dict.replaceKey("/Type", OH::newName("/XObject"));
        dict.replaceKey("/Subtype", OH::newName("/Form"));
        OH resources = page.getAttribute("/Resources", false);
        dict.replaceKey("/Resources", !resources.isDictionary() ? OH::newDictionary()
                                      : resources.isIndirect()  ? resources
                                                                : resources.shallowCopy());
        OH group = page.getObjectHandle().getKey("/Group");
        if (keepGroup && group.isDictionary())
            dict.replaceKey("/Group", group.isIndirect() ? group : group.shallowCopy());
        form = contents;
    } else {
        form = page.getFormXObjectForPage(false);
        if (!keepGroup)
            form.getDict().removeKey("/Group");
    }
    form.getDict().replaceKey("/BBox", rectangle(box));
    return form;
}

// Writes into a QSaveFile, which only replaces the target when the whole file has been written.
class SaveFilePipeline : public Pipeline {
public:
    explicit SaveFilePipeline(QSaveFile &file) : Pipeline("output", nullptr), m_file(file) {}

    void write(unsigned char const *data, size_t length) override
    {
        if (m_file.write(reinterpret_cast<const char *>(data), qint64(length)) != qint64(length))
            throw std::runtime_error(m_file.errorString().toStdString());
        m_written += qint64(length);
    }
    void finish() override {}
    qint64 written() const { return m_written; }

private:
    QSaveFile &m_file;
    qint64 m_written = 0;
};

class CancelCheck : public QPDFWriter::ProgressReporter {
public:
    explicit CancelCheck(const BuildProgress *progress) : m_progress(progress) {}
    void reportProgress(int) override
    {
        if (isCancelled(m_progress))
            throw Cancelled();
    }

private:
    const BuildProgress *m_progress;
};

QString qpdfMessage(const std::exception &e)
{
    return QString::fromUtf8(e.what());
}

} // namespace

struct PdfWriter::Impl {
    struct Book {
        QPDF qpdf;
        std::vector<QPDFPageObjectHelper> pages;
        std::set<QPDFObjGen> usedStreams;
    };
    QHash<QString, std::shared_ptr<Book>> books;
    QHash<QString, LyrafoldError> failedBooks;

    QPDF out;
    std::vector<QPDFObjectHandle> outPages;
    // Source pages already copied, by book, page and box.
    QHash<QString, OH> forms;

    struct Pending {
        OH resources; // the page's /XObject dictionary, to receive its drawings
        std::optional<int> contentDrawing;
        std::optional<int> pageDrawing;
    };
    std::vector<Pending> pending;
    QList<std::pair<QString, int>> outline;

    // Drawings are pages of one PDF that cairo writes into memory; write() imports them.
    QByteArray drawingBytes;
    QBuffer drawingBuffer{&drawingBytes};
    PdfDrawingStream drawings{&drawingBuffer};
    QList<QRectF> drawingAreas;
    QPDF drawingPdf;

    Result<Book *> book(const QString &path);
    PDFVersion minimumVersion();
    Result<OH> sourceForm(const Page &page);
    QString importDrawings();
};

Result<PdfWriter::Impl::Book *> PdfWriter::Impl::book(const QString &path)
{
    if (const auto found = books.constFind(path); found != books.constEnd())
        return found.value().get();
    if (const auto failed = failedBooks.constFind(path); failed != failedBooks.constEnd())
        return failed.value();
    if (const auto error = PdfSupport::checkFile(path)) {
        failedBooks.insert(path, *error);
        return *error;
    }
    auto opened = std::make_shared<Book>();
    try {
        opened->qpdf.setSuppressWarnings(true);
        opened->qpdf.processInputSource(std::make_shared<PdfFileInput>(path));
        opened->pages = QPDFPageDocumentHelper(opened->qpdf).getAllPages();
    } catch (const QPDFExc &e) {
        const bool password = e.getErrorCode() == qpdf_e_password;
        const LyrafoldError error{QStringLiteral("Lyrafold"),
                                  int(password ? PdfOpenError::PasswordProtected : PdfOpenError::Damaged),
                                  password
                                      ? UiText::tr("The file %1 is protected by a password.").arg(path)
                                      : UiText::tr("The file %1 is damaged and cannot be read.").arg(path)};
        failedBooks.insert(path, error);
        return error;
    } catch (const std::exception &e) {
        const LyrafoldError error{QStringLiteral("Lyrafold"), int(PdfOpenError::Damaged),
                                  UiText::tr("The file %1 cannot be read: %2").arg(path, qpdfMessage(e))};
        failedBooks.insert(path, error);
        return error;
    }
    books.insert(path, opened);
    return opened.get();
}

Result<OH> PdfWriter::Impl::sourceForm(const Page &page)
{
    const QString key = page.bookPath + QLatin1Char('\n') + QString::number(page.pageIndex) +
                        QLatin1Char('\n') + QString::number(page.box.x()) + QLatin1Char(' ') +
                        QString::number(page.box.y()) + QLatin1Char(' ') + QString::number(page.box.width()) +
                        QLatin1Char(' ') + QString::number(page.box.height());
    if (const auto found = forms.constFind(key); found != forms.constEnd())
        return found.value();
    const Result<Book *> source = book(page.bookPath);
    if (!source)
        return source.error();
    Book &b = *source.value();
    if (page.pageIndex < 0 || size_t(page.pageIndex) >= b.pages.size())
        return Result<OH>::failure(QStringLiteral("The page %1 does not exist.").arg(page.pageIndex + 1));
    // qpdf reads objects as they are needed: a damaged page shows itself only here.
    try {
        const OH form =
            out.copyForeignObject(pageForm(b.pages[size_t(page.pageIndex)], page.box, b.usedStreams, true));
        forms.insert(key, form);
        return form;
    } catch (const std::exception &e) {
        return Result<OH>::failure(
            UiText::tr("The page %1 cannot be copied: %2").arg(page.pageIndex + 1).arg(qpdfMessage(e)));
    }
}

// The copied pages may use anything their books' versions allow, and drawings need transparency (1.4).
PDFVersion PdfWriter::Impl::minimumVersion()
{
    PDFVersion version(1, 4);
    for (const std::shared_ptr<Book> &b : std::as_const(books))
        version.updateIfGreater(b->qpdf.getVersionAsPDFVersion());
    if (!drawingAreas.isEmpty())
        version.updateIfGreater(drawingPdf.getVersionAsPDFVersion());
    return version;
}

// Brings the drawings into the output, each as a form that the pages showing it share.
QString PdfWriter::Impl::importDrawings()
{
    if (drawingAreas.isEmpty())
        return {};
    if (!drawings.finish())
        return QStringLiteral("cairo failed.");
    std::vector<OH> forms;
    try {
        drawingPdf.setSuppressWarnings(true);
        drawingPdf.processMemoryFile("drawings", drawingBytes.constData(), size_t(drawingBytes.size()));
        std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(drawingPdf).getAllPages();
        if (pages.size() != size_t(drawingAreas.size()))
            return UiText::tr("The drawings are incomplete.");
        std::set<QPDFObjGen> used;
        for (qsizetype i = 0; i < drawingAreas.size(); ++i) {
            const QRectF area(QPointF(), drawingAreas[i].size());
            forms.push_back(out.copyForeignObject(pageForm(pages[size_t(i)], area, used, false)));
        }
    } catch (const std::exception &e) {
        return qpdfMessage(e);
    }
    for (Pending &page : pending) {
        for (const std::optional<int> &id : {page.contentDrawing, page.pageDrawing}) {
            if (id && *id >= 0 && size_t(*id) < forms.size())
                page.resources.replaceKey("/Dr" + std::to_string(*id), forms[size_t(*id)]);
        }
    }
    return {};
}

PdfWriter::PdfWriter() : m_impl(std::make_unique<Impl>())
{
    m_impl->out.emptyPDF();
}

PdfWriter::~PdfWriter() = default;

Result<int> PdfWriter::pageCount(const QString &bookPath)
{
    const Result<Impl::Book *> book = m_impl->book(bookPath);
    if (!book)
        return book.error();
    return int(book.value()->pages.size());
}

Result<PdfPageBoxes> PdfWriter::pageBoxes(const QString &bookPath, int pageIndex)
{
    const Result<Impl::Book *> book = m_impl->book(bookPath);
    if (!book)
        return book.error();
    const std::vector<QPDFPageObjectHelper> &pages = book.value()->pages;
    if (pageIndex < 0 || size_t(pageIndex) >= pages.size())
        return Result<PdfPageBoxes>::failure(
            QStringLiteral("The page %1 does not exist.").arg(pageIndex + 1));
    try {
        return PdfSupport::boxes(pages[size_t(pageIndex)]);
    } catch (const std::exception &e) {
        return Result<PdfPageBoxes>::failure(
            QStringLiteral("The boxes of page %1 cannot be read: %2").arg(pageIndex + 1).arg(qpdfMessage(e)));
    }
}

int PdfWriter::addDrawing(const QRectF &area, const std::function<void(PdfCanvas &)> &draw)
{
    Impl &d = *m_impl;
    if (!d.drawingBuffer.isOpen())
        d.drawingBuffer.open(QIODevice::WriteOnly);
    // A drawing that fails in cairo spoils them all; write() then reports it.
    if (!d.drawings.addPage(area, [&](PdfCanvas &canvas) {
            draw(canvas);
            return true;
        }))
        return -1;
    d.drawingAreas.append(area);
    return int(d.drawingAreas.size() - 1);
}

Result<int> PdfWriter::addPage(const Page &page)
{
    Impl &d = *m_impl;
    if (!(page.size.width() > 0) || !(page.size.height() > 0))
        return Result<int>::failure(QStringLiteral("A page needs a size."));
    OH xobjects = OH::newDictionary();
    std::string content;
    const bool hasSource = !page.bookPath.isEmpty() && !page.box.isEmpty();
    const QTransform place = hasSource ? placement(page.box, page.rotation, page.size) : QTransform();
    if (hasSource) {
        const Result<OH> form = d.sourceForm(page);
        if (!form)
            return form.error();
        xobjects.replaceKey("/Pg", form.value());
        content += "q " + matrix(place) + " /Pg Do Q\n";
    }
    const auto drawing = [&](std::optional<int> id, const QTransform &base) {
        if (!id || *id < 0 || *id >= d.drawingAreas.size())
            return;
        const QRectF area = d.drawingAreas[*id];
        content += "q " + matrix(QTransform::fromTranslate(area.x(), area.y()) * base) + " /Dr" +
                   std::to_string(*id) + " Do Q\n";
    };
    if (hasSource)
        drawing(page.contentDrawing, place);
    drawing(page.pageDrawing, QTransform());

    OH dict = OH::newDictionary();
    dict.replaceKey("/Type", OH::newName("/Page"));
    dict.replaceKey("/MediaBox", rectangle(QRectF(QPointF(), page.size)));
    OH resources = OH::newDictionary();
    resources.replaceKey("/XObject", xobjects);
    dict.replaceKey("/Resources", resources);
    dict.replaceKey("/Contents", OH::newStream(&d.out, content));
    if (!page.links.isEmpty()) {
        OH annots = OH::newArray();
        for (const PdfLink &link : page.links) {
            OH annot = OH::parse("<< /Type /Annot /Subtype /Link /Border [0 0 0] >>");
            annot.replaceKey("/Rect", rectangle(link.rect));
            OH action = OH::parse("<< /S /URI >>");
            action.replaceKey("/URI", OH::newString(link.url.toStdString()));
            annot.replaceKey("/A", action);
            annots.appendItem(d.out.makeIndirectObject(annot));
        }
        dict.replaceKey("/Annots", annots);
    }
    OH pageObject = d.out.makeIndirectObject(dict);
    QPDFPageDocumentHelper(d.out).addPage(QPDFPageObjectHelper(pageObject), false);
    d.outPages.push_back(pageObject);
    const std::optional<int> contentDrawing = hasSource ? page.contentDrawing : std::nullopt;
    if (contentDrawing || page.pageDrawing)
        d.pending.push_back({xobjects, contentDrawing, page.pageDrawing});
    return int(d.outPages.size() - 1);
}

int PdfWriter::pageCount() const
{
    return int(m_impl->outPages.size());
}

void PdfWriter::addOutlineItem(const QString &title, int pageIndex)
{
    m_impl->outline.append({title, pageIndex});
}

Result<bool> PdfWriter::write(const QString &path, const BuildProgress *progress)
{
    Impl &d = *m_impl;
    if (const QString error = d.importDrawings(); !error.isEmpty())
        return Result<bool>::failure(UiText::tr("The drawings cannot be written: %1").arg(error));

    QList<OH> items;
    for (const auto &[title, pageIndex] : d.outline) {
        if (pageIndex < 0 || size_t(pageIndex) >= d.outPages.size())
            continue;
        OH page = d.outPages[size_t(pageIndex)];
        OH item = OH::newDictionary();
        item.replaceKey("/Title", OH::newUnicodeString(title.toStdString()));
        OH destination = OH::newArray(
            {page, OH::newName("/XYZ"), OH::newInteger(0),
             OH::newReal(PdfSupport::rectangle(page.getKey("/MediaBox")).bottom(), 4), OH::newNull()});
        item.replaceKey("/Dest", destination);
        items.append(d.out.makeIndirectObject(item));
    }
    if (!items.isEmpty()) {
        OH root = d.out.makeIndirectObject(OH::parse("<< /Type /Outlines >>"));
        for (qsizetype i = 0; i < items.size(); ++i) {
            items[i].replaceKey("/Parent", root);
            if (i > 0)
                items[i].replaceKey("/Prev", items[i - 1]);
            if (i + 1 < items.size())
                items[i].replaceKey("/Next", items[i + 1]);
        }
        root.replaceKey("/First", items.first());
        root.replaceKey("/Last", items.last());
        root.replaceKey("/Count", OH::newInteger(items.size()));
        d.out.getRoot().replaceKey("/Outlines", root);
    }

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Result<bool>::failure(file.errorString());
    SaveFilePipeline output(file);
    try {
        QPDFWriter writer(d.out);
        writer.setOutputPipeline(&output);
        writer.setMinimumPDFVersion(d.minimumVersion());
        writer.registerProgressReporter(std::make_shared<CancelCheck>(progress));
        writer.write();
    } catch (const Cancelled &) {
        file.cancelWriting();
        return Result<bool>::failure(QStringLiteral("Cancelled."));
    } catch (const std::exception &e) {
        file.cancelWriting();
        return Result<bool>::failure(qpdfMessage(e));
    }
    if (!PdfSupport::commitComplete(file, output.written()))
        return Result<bool>::failure(UiText::tr("The file %1 could not be written.").arg(path));
    return true;
}

QSizeF PdfWriter::shownSize(const QSizeF &boxSize, int rotation)
{
    const int shown = PdfSupport::shownRotation(rotation);
    return shown == 90 || shown == 270 ? boxSize.transposed() : boxSize;
}

QTransform PdfWriter::placement(const QRectF &box, int rotation, const QSizeF &pageSize)
{
    const double w = box.width();
    const double h = box.height();
    // From the box's user space to its shown form, origin at the shown lower left.
    QTransform turn;
    switch (PdfSupport::shownRotation(rotation)) {
    case 90: // the top edge goes to the right
        turn = QTransform(0, -1, 1, 0, 0, w);
        break;
    case 180:
        turn = QTransform(-1, 0, 0, -1, w, h);
        break;
    case 270:
        turn = QTransform(0, 1, -1, 0, h, 0);
        break;
    default:
        break;
    }
    const QSizeF shown = shownSize(box.size(), rotation);
    const double scale =
        std::min({1.0, pageSize.width() / shown.width(), pageSize.height() / shown.height()});
    return QTransform::fromTranslate(-box.x(), -box.y()) * turn * QTransform::fromScale(scale, scale) *
           QTransform::fromTranslate((pageSize.width() - shown.width() * scale) / 2,
                                     (pageSize.height() - shown.height() * scale) / 2);
}
