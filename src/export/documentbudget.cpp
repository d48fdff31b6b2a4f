#include "documentbudget.h"

namespace Export {

DocumentBudget::DocumentBudget(qint64 capacity) : m_capacity(capacity) {}

void DocumentBudget::acquire(qint64 amount, const std::function<bool()> &mayPass)
{
    QMutexLocker locker(&m_mutex);
    while (m_used > 0 && m_used + amount > m_capacity && !mayPass())
        m_changed.wait(&m_mutex);
    m_used += amount;
}

void DocumentBudget::release(qint64 amount)
{
    QMutexLocker locker(&m_mutex);
    m_used -= amount;
    m_changed.wakeAll();
}

void DocumentBudget::wake()
{
    QMutexLocker locker(&m_mutex);
    m_changed.wakeAll();
}

BudgetShare::BudgetShare(DocumentBudget &budget, qint64 amount) : m_budget(budget), m_amount(amount) {}

BudgetShare::~BudgetShare()
{
    m_budget.release(m_amount);
}

void BudgetShare::shrinkTo(qint64 amount)
{
    if (amount < m_amount) {
        m_budget.release(m_amount - amount);
        m_amount = amount;
    }
}

} // namespace Export
