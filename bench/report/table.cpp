#include "table.h"

#include <algorithm>
#include <stdexcept>

namespace bench {
namespace {

QString renderLine(const QStringList &cells, const QList<qsizetype> &widths)
{
    QString line = QStringLiteral("|");
    for (qsizetype i = 0; i < widths.size(); ++i)
        line += ' ' + cells.value(i).leftJustified(widths[i]) + " |";
    return line + '\n';
}

} // namespace

Table::Table(QStringList headerCells) : header(std::move(headerCells)) {}

void Table::addRow(QStringList cells)
{
    if (cells.size() > header.size())
        throw std::invalid_argument("table row wider than its header");
    rows << cells;
}

QString Table::render() const
{
    QList<qsizetype> widths;
    for (const QString &title : header)
        widths << title.size();
    for (const QStringList &row : rows)
        for (qsizetype i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], row[i].size());
    QStringList rule;
    for (qsizetype width : widths)
        rule << QString(width, '-');
    QString text = renderLine(header, widths) + renderLine(rule, widths);
    for (const QStringList &row : rows)
        text += renderLine(row, widths);
    return text;
}

} // namespace bench
