#pragma once

#include <QObject>

class AppContext;
class QWidget;
class StatusSink;

// Song metadata brought into a slot from files: the built-in metadata (DEFAULT, and "Apply Bundled
// Metadata Only") and a metadata file the user chooses (CSV or JSON). The files are read and applied
// on a worker; each result belongs to the slot that was current when it was asked for. The window that
// starts the flow is its parent, and its status sink hears the outcome.
class MetadataImportFlow : public QObject {
    Q_OBJECT

public:
    MetadataImportFlow(AppContext &context, StatusSink &sink, QWidget *window);

    // DEFAULT: the built-in metadata overwrites the fields of the titles it knows.
    void loadDefaultMetadata();
    // What DEFAULT does with the built-in metadata file, for any metadata file of that form.
    void applyMetadataFile(const QString &metadataFile);
    // The built-in metadata fills the empty fields only; refused in the Default slot.
    void applyBundledMetadataToAll();
    // The panel for a metadata file, refused in the Default slot; then the file's import.
    void importMetadata();

private:
    void importMetadataFile(const QString &path);

    AppContext &m_context;
    StatusSink &m_sink;
    QWidget *m_window;
};
