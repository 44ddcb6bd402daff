#include "platform/toolkit/ListFollower.h"

namespace velmora {

void ListFollower::forget()
{
    m_rows.clear();
    m_count = 0;
    m_lastCurrent = -2;
}

void ListFollower::follow(const ListChange& change, const ListRows& rows, ListView& view)
{
    const std::size_t count = rows.rowCount();
    const std::size_t had = this->count();
    const bool drawn = had == view.drawnCount();
    switch (change.kind) {
    case ListChange::Kind::Selection:
        if (!drawn || had != count || change.first + change.count > count) return sync(rows, view);
        drawSelection(change.first, change.count, rows, view);
        break;
    case ListChange::Kind::Appended:
        if (!drawn || had != change.first || change.first + change.count != count) return sync(rows, view);
        if (m_keeps == Keeps::Texts) {
            m_rows.reserve(count);
            for (std::size_t i = change.first; i < count; ++i) m_rows.push_back(rows.rowText(i));
        }
        m_count = count;
        view.appendRows(m_rows, change.first);
        break;
    case ListChange::Kind::Removed:
        if (!drawn || !change.removed || had != count + change.removed->size() ||
            (!change.removed->empty() && change.removed->back() >= had))
            return sync(rows, view);
        if (!remove(*change.removed, view)) {
            view.resetRows(m_rows);
            m_lastCurrent = -2;
            drawSelection(0, count, rows, view);
        }
        break;
    }
    drawCurrent(rows, view);
}

void ListFollower::sync(const ListRows& rows, ListView& view)
{
    const std::size_t count = rows.rowCount();
    // Without the texts, rows as many as drawn are the rows drawn: their texts are read afresh
    // whenever they are drawn, and a sync (the control enabled, say) must not throw the
    // widget's place away.
    bool same = m_count == count;
    for (std::size_t i = 0; same && m_keeps == Keeps::Texts && i < count; ++i) same = m_rows[i] == rows.rowText(i);
    if (!same) {
        m_rows.clear();
        if (m_keeps == Keeps::Texts) {
            m_rows.reserve(count);
            for (std::size_t i = 0; i < count; ++i) m_rows.push_back(rows.rowText(i));
        }
        m_count = count;
        m_lastCurrent = -2;
    }
    if (m_lastCurrent == -2 || view.drawnCount() != count) {
        view.resetRows(m_rows);
        m_lastCurrent = -2;
    }
    drawSelection(0, count, rows, view);
    drawCurrent(rows, view);
}

void ListFollower::drawSelection(std::size_t first, std::size_t count, const ListRows& rows, ListView& view)
{
    if (count == 0) return;
    // The selected runs of the range: a whole list selected is one run, however long.
    std::vector<ListView::Run> selected;
    const std::size_t end = first + count;
    for (std::size_t i = first; i < end;) {
        if (!rows.rowSelected(i)) {
            ++i;
            continue;
        }
        std::size_t last = i;
        while (last + 1 < end && rows.rowSelected(last + 1)) ++last;
        selected.emplace_back(i, last);
        i = last + 1;
    }
    view.drawSelection(first, end, selected, first == 0 && end == this->count());
}

void ListFollower::drawCurrent(const ListRows& rows, ListView& view)
{
    int row = rows.currentRow();
    if (row < -1 || row >= static_cast<int>(count())) row = -1;
    view.drawCurrent(row, row != m_lastCurrent);
    m_lastCurrent = row;
}

bool ListFollower::remove(const std::vector<std::size_t>& ascending, ListView& view)
{
    std::vector<std::pair<std::size_t, std::size_t>> runs; // first, count
    for (std::size_t i : ascending) {
        if (!runs.empty() && runs.back().first + runs.back().second == i)
            ++runs.back().second;
        else
            runs.emplace_back(i, 1);
    }
    std::size_t kept = 0, next = 0;
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        if (next < ascending.size() && ascending[next] == i) {
            ++next;
            continue;
        }
        // Rows before the first removed one stay where they are.
        if (kept != i) m_rows[kept] = std::move(m_rows[i]);
        ++kept;
    }
    m_rows.resize(kept);
    m_count -= ascending.size();
    // A few runs leave one by one; many (or many rows, where each removal moves every row after
    // it) cost less as rows drawn afresh.
    if (runs.size() > m_limits.runs || ascending.size() > m_limits.rows) return false;
    for (auto it = runs.rbegin(); it != runs.rend(); ++it) view.removeRows(it->first, it->second);
    return true;
}

} // namespace velmora
