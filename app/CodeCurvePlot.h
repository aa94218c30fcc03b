#pragma once

#include <QString>
#include <QWidget>

#include <vector>

// A per-code curve (DNL or INL in LSB) over a window of codes. Only the
// codes the analysis defines are drawn; each pixel column shows the lowest
// and highest value of the codes that fall on it, so a spike at one code is
// never lost when thousands of codes share the width.
class CodeCurvePlot : public QWidget
{
    Q_OBJECT

public:
    explicit CodeCurvePlot(const QString &title, QWidget *parent = nullptr);

    // values is indexed by code; codes outside first..last are not drawn.
    void setCurve(const std::vector<double> &values, int first, int last);
    void clearCurve();
    // The codes shown, both included.
    void setCodeWindow(int from, int to);

    QSize minimumSizeHint() const override { return {240, 120}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_title;
    std::vector<double> m_values;
    int m_first = 0;
    int m_last = -1;
    int m_from = 0;
    int m_to = 4095;
};
