#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace bench {

// A table printed as aligned Markdown, so the figures can go straight into docs/benchmarks.md.
class Table {
public:
    explicit Table(QStringList header);
    // Missing cells are left blank; extra cells are an error (std::invalid_argument).
    void addRow(QStringList cells);
    QString render() const;

private:
    QStringList header;
    QList<QStringList> rows;
};

} // namespace bench
