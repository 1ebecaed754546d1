#pragma once

class QLineEdit;
class QWidget;

// The pickers behind the "…" button of each filter field: small modal dialogs that read the field's
// text, offer the choices and write a well-formed text back on OK. Cancel leaves the field as it was.
namespace AutoPlaylistFilterPicker {

enum class Kind { genre, style, tempo, composer, popularity };

// The dialog's object name, for the tests that answer it.
inline constexpr char objectName[] = "autoPlaylistFilterPicker";

// Opens the picker of the kind for the field.
void browse(Kind kind, QLineEdit *field, QWidget *parent);

} // namespace AutoPlaylistFilterPicker
