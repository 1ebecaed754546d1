#pragma once

#include <QObject>

class QLineEdit;

// Keeps a field's placeholder whole: when the field grows too narrow for it (a long translation at the
// window's smallest width), the field takes a smaller type, down to a floor, and back when room returns.
class PlaceholderFit : public QObject {
    Q_OBJECT

public:
    // The field's present type size is its largest; the fit lives as long as the field.
    static void attach(QLineEdit *field, int smallestPixelSize = 11);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    PlaceholderFit(QLineEdit *field, int smallestPixelSize);
    void fit();

    QLineEdit *m_field;
    int m_nominalPixelSize;
    int m_smallestPixelSize;
};
