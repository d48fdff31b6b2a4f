#pragma once

#include <QMutex>
#include <QWaitCondition>

#include <functional>

namespace Export {

// The working memory of the items in flight, counted in characters of their item
// documents (an item holds a few copies of its document while it works). An item
// reserves the largest document it may receive before asking for it and gives the rest
// back once it is there; the share goes back when the writer is done with the item. The
// item the writer waits for never waits here, so the run always moves on.
class DocumentBudget
{
public:
    explicit DocumentBudget(qint64 capacity);

    // Waits until the amount fits, or the budget is unused, or mayPass says so.
    void acquire(qint64 amount, const std::function<bool()> &mayPass);
    void release(qint64 amount);
    // The writer moved to another item: the one now first may pass.
    void wake();

private:
    QMutex m_mutex;
    QWaitCondition m_changed;
    const qint64 m_capacity;
    qint64 m_used = 0;
};

// One item's reservation, given back when the share goes.
class BudgetShare
{
public:
    BudgetShare(DocumentBudget &budget, qint64 amount);
    ~BudgetShare();
    BudgetShare(const BudgetShare &) = delete;
    BudgetShare &operator=(const BudgetShare &) = delete;
    // Gives back what the item turned out not to need.
    void shrinkTo(qint64 amount);

private:
    DocumentBudget &m_budget;
    qint64 m_amount;
};

} // namespace Export
