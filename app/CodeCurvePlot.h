#pragma once

#include "AxisScale.h"

#include <QColor>
#include <QString>
#include <QWidget>

#include <optional>
#include <vector>

// A per-code curve (DNL or INL in LSB) over a window of codes, on round
// ticks with a grid. Only the codes the analysis defines are drawn; each
// pixel column shows the lowest and highest value of the codes that fall on
// it, so a spike at one code is never lost when thousands of codes share the
// width. A limit is drawn as lines at plus and minus its value, with the
// band of the 99 % uncertainty either side of them where a verdict may turn
// on a retest; missing codes are marked on the code axis. A reference
// board's curve may be drawn under the live one.
class CodeCurvePlot : public QWidget
{
    Q_OBJECT

public:
    static inline const QColor traceColour {0, 70, 160};
    static inline const QColor limitColour {200, 0, 0};
    static inline const QColor bandColour {255, 214, 150};
    static inline const QColor missingColour {230, 110, 0};
    // A reference board's curve: lighter than the live one, and under it.
    static inline const QColor referenceColour {240, 160, 90};

    // `title` over the plot; `unit` titles the value axis ("DNL (LSB)").
    explicit CodeCurvePlot(
        const QString &title, const QString &valueTitle = {}, QWidget *parent = nullptr);

    // values is indexed by code; codes outside first..last are not drawn.
    void setCurve(const std::vector<double> &values, int first, int last);
    void clearCurve();
    // The codes shown, both included.
    void setCodeWindow(int from, int to);
    // The limit drawn at +-limit, and the uncertainty of the curve; either
    // may be empty.
    void setLimit(std::optional<double> limit, std::optional<double> uncertainty);
    void setMissingCodes(std::vector<int> codes);
    // A reference board's curve drawn under the live one, with a legend
    // naming `name`; indexed and bounded as setCurve's.
    void setReference(const std::vector<double> &values, int first, int last, const QString &name);
    void clearReference();
    bool hasReference() const { return !m_referenceName.isEmpty(); }

    // The value axis for values[from..to] and what is drawn over them:
    // symmetric about 0, at least +-0.5 LSB, ending on round ticks with the
    // limit and its band inside.
    static AxisScale valueAxis(const std::vector<double> &values, int from, int to,
        std::optional<double> limit, std::optional<double> uncertainty);

    QSize minimumSizeHint() const override { return {240, 140}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_title;
    QString m_valueTitle;
    std::vector<double> m_values;
    int m_first = 0;
    int m_last = -1;
    int m_from = 0;
    int m_to = 4095;
    std::optional<double> m_limit;
    std::optional<double> m_uncertainty;
    std::vector<int> m_missingCodes;
    std::vector<double> m_reference;
    int m_referenceFirst = 0;
    int m_referenceLast = -1;
    QString m_referenceName; // empty: no reference
};
