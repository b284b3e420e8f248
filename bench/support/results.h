#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

#include "measure.h"

#include <optional>

// Benchmark programs report figures as "key value..." lines on stdout; the report collects them.

namespace bench {

using Figures = QMap<QString, QList<double>>;

void printFigure(const QString &key, double value);

// The raw run under `prefix`: every wall time, the totals and the failures, so that the report
// can merge the rounds of one master before it takes quantiles.
void printRun(const QString &prefix, const RunFigures &run);

// Lines whose fields after the key are not all numbers are skipped.
Figures parseFigures(const QByteArray &output);

// The run printed under `prefix`; none when it is missing.
std::optional<RunFigures> runFrom(const Figures &figures, const QString &prefix);

// `more` appended to `into`: samples, totals and failures.
void merge(RunFigures &into, const RunFigures &more);

} // namespace bench
