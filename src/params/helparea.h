#pragma once
// An area that texts are printed into, one below the other, from its current
// print position on; clearing it empties it and moves the position back to
// the top. Line feeds in a text break its lines; what runs past the bottom is
// cut off.

#include <QFrame>
#include <QStringList>

class HelpArea : public QFrame {
    Q_OBJECT
public:
    explicit HelpArea(QWidget *parent = nullptr);

    // Prints the text at the current position, which then moves below it.
    void Print(const QString &text);
    // Empties the area; the next text is printed at the top.
    void Cls();

    // The texts printed since the area was last cleared, in order.
    const QStringList &printed() const { return m_printed; }
    // The print position: the line the next text starts on.
    int currentLine() const { return m_lines.size(); }

    // Room for the given texts, each printed alone, without cutting any off.
    void fitTexts(const QStringList &texts);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QSize textRoom(int columnsPx, int lines) const;

    QStringList m_printed;
    QStringList m_lines;
    QSize m_fit;
};
