#pragma once
// A shape control: a circle or a rectangle with a border colour and a fill.

#include <QColor>
#include <QWidget>

class Shape : public QWidget {
    Q_OBJECT
public:
    enum class Kind { Rectangle, Circle };
    explicit Shape(Kind kind, QWidget *parent = nullptr);

    void setColors(const QColor &border, const QColor &fill);
    QColor borderColor() const { return m_border; }
    QColor fillColor() const { return m_fill; }

protected:
    void paintEvent(QPaintEvent *) override;

private:
    Kind m_kind;
    QColor m_border = Qt::black;
    QColor m_fill = Qt::black;
};
