#pragma once
// Following a list control with a drawn copy of its rows: what a front-end's list widget does
// after each ListChange, decided once here and carried out by the widget through ListView.
#include "platform/toolkit/FrontEnd.h"

#include <cstddef>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace velmora {

// The rows of a list control as the follower reads them.
class ListRows {
public:
    virtual ~ListRows() = default;
    virtual std::size_t rowCount() const = 0;
    virtual const std::string& rowText(std::size_t i) const = 0;
    virtual bool rowSelected(std::size_t) const { return false; }
    // The current entry; -1 when none.
    virtual int currentRow() const = 0;
};

// The rows of any list control of the model (combo box, drive box, list box, file list).
template <class Model> class RowsOf final : public ListRows {
public:
    explicit RowsOf(const Model& model) : m_model(model) {}
    std::size_t rowCount() const override { return m_model.listCount(); }
    const std::string& rowText(std::size_t i) const override { return m_model.list(i); }
    bool rowSelected(std::size_t i) const override
    {
        if constexpr (requires { m_model.selected(i); })
            return m_model.selected(i);
        else
            return false;
    }
    int currentRow() const override { return m_model.listIndex(); }

private:
    const Model& m_model;
};

// What a list widget does at the follower's word.
class ListView {
public:
    // First and last row of a run of rows, both included.
    using Run = std::pair<std::size_t, std::size_t>;

    virtual ~ListView() = default;
    // The rows the widget holds now.
    virtual std::size_t drawnCount() const = 0;
    // Replaces every row by `rows`, none selected.
    virtual void resetRows(const std::vector<std::string>& rows) = 0;
    // Adds rows[first, end) after the rows held, unselected.
    virtual void appendRows(const std::vector<std::string>& rows, std::size_t first) = 0;
    // Removes `count` rows from `first`; runs come last first, so the numbers hold.
    virtual void removeRows(std::size_t first, std::size_t count) = 0;
    // Rows [first, end) are selected exactly where `selected` says (ascending runs within it);
    // `whole` when that range is every row.
    virtual void drawSelection(std::size_t first, std::size_t end, const std::vector<Run>& selected, bool whole) = 0;
    // The current row (-1, or a row held); `moved` when it differs from the one last shown, so
    // that the widget scrolls to it only then.
    virtual void drawCurrent(int row, bool moved) = 0;
};

// The copy of a list's rows a widget shows, brought up to the model by each change.
class ListFollower {
public:
    // Above these a removal draws the rows afresh rather than removing runs one by one.
    struct Limits {
        std::size_t runs = 32;
        std::size_t rows = std::numeric_limits<std::size_t>::max();
    };

    // What the follower keeps of the rows drawn: their texts, or only how many there are, for
    // a widget that reads each text from the model when it draws it (a long list then costs no
    // copy). Without the texts, a sync takes as many rows as were drawn for the same rows, so
    // it fits only a control whose texts change by the ListChanges the follower hears.
    enum class Keeps { Texts, Count };

    ListFollower() = default;
    explicit ListFollower(Limits limits) : m_limits(limits) {}
    explicit ListFollower(Keeps keeps) : m_keeps(keeps) {}

    // Brings `view` to `rows` after `change`. A change that does not fit what was drawn (one
    // missed, a widget made late) draws everything instead.
    void follow(const ListChange& change, const ListRows& rows, ListView& view);
    // Draws everything: the rows when they differ from those drawn, the selection and the
    // current row always.
    void sync(const ListRows& rows, ListView& view);
    // The widget was made afresh and holds nothing.
    void forget();
    // The rows as last drawn: their texts (none when it keeps the count only), and how many.
    const std::vector<std::string>& rows() const { return m_rows; }
    std::size_t count() const { return m_count; }

private:
    void drawSelection(std::size_t first, std::size_t count, const ListRows& rows, ListView& view);
    void drawCurrent(const ListRows& rows, ListView& view);
    // False when the removal is better drawn afresh.
    bool remove(const std::vector<std::size_t>& ascending, ListView& view);

    Limits m_limits;
    Keeps m_keeps = Keeps::Texts;
    std::vector<std::string> m_rows;
    std::size_t m_count = 0; // the rows drawn; m_rows.size() too when it keeps the texts
    int m_lastCurrent = -2;  // the current row as last drawn; -2 when the rows are new
};

} // namespace velmora
