#include "parametermodel.h"

#include "drive/numtext.h"
#include "drive/params/paramtext.h"
#include "drive/wave/wavequantities.h"

ParameterModel::ParameterModel(QObject *parent) : QObject(parent) { m_texts.fill(QStringLiteral("0")); }

bool ParameterModel::isHex(int k) { return ParamIsHex(k); }

void ParameterModel::setText(int k, const QString &text)
{
    QString &held = m_texts[static_cast<size_t>(k)];
    if (held == text) return;
    held = text;
    Q_EMIT textChanged(k, text);
}

qint32 ParameterModel::value(int k) const { return FieldValue(text(k), isHex(k)); }

ParamValues ParameterModel::values() const
{
    ParamValues values{};
    for (int k = 0; k < ParamCount; ++k) values[static_cast<size_t>(k)] = value(k);
    return values;
}

void ParameterModel::showValues(const ParamValues &values)
{
    for (int k = 0; k < ParamCount; ++k) setText(k, FieldText(values[static_cast<size_t>(k)], isHex(k)));
}

int ParameterModel::motorTypeUnits() const { return WaveGeometry::MotorTypeUnits(ValText(text(57))); }

void ParameterModel::setBaseline(const ParamValues &values)
{
    m_baseline = values;
    Q_EMIT baselineChanged();
}

bool ParameterModel::changed(int k) const
{
    return m_baseline && value(k) != (*m_baseline)[static_cast<size_t>(k)];
}

QString ParameterModel::baselineText(int k) const
{
    return m_baseline ? FieldText((*m_baseline)[static_cast<size_t>(k)], isHex(k)) : QString();
}
