#include "ReviewLoader.h"

ReviewLoader::ReviewLoader(QObject* parent) : QObject(parent) {}

ReviewLoader::~ReviewLoader()
{
    if (m_thread.joinable())
        m_thread.join();
}

void ReviewLoader::start(const QString& usersDatabase, const QString& learner)
{
    stop();
    m_usersDatabase = usersDatabase;
    m_learner = learner;
    m_reading = std::make_unique<ReviewSchedule>(usersDatabase, learner);
    const quint64 generation = ++m_generation;
    ReviewSchedule* reading = m_reading.get();
    m_thread = std::thread([this, reading, generation] {
        QString error;
        m_readingOk = reading->refresh(&error);
        m_readingError = error;
        // Handed back on the main thread, where this object lives.
        QMetaObject::invokeMethod(
            this, [this, generation] { finish(generation); }, Qt::QueuedConnection);
    });
}

void ReviewLoader::stop()
{
    if (m_thread.joinable())
        m_thread.join();
    ++m_generation; // a hand-back still queued is for nobody now
    m_reading.reset();
    m_schedule.reset();
    m_learner.clear();
    m_error.clear();
}

void ReviewLoader::finish(quint64 generation)
{
    if (generation != m_generation || !m_reading)
        return;
    if (m_thread.joinable())
        m_thread.join();
    if (m_readingOk)
        m_schedule = std::move(m_reading);
    else
        m_error = m_readingError;
    m_reading.reset();
    emit loaded();
}

const ReviewSchedule* ReviewLoader::current(QString* error)
{
    if (m_learner.isEmpty()) {
        if (error)
            *error = QStringLiteral("Nobody is logged in.");
        return nullptr;
    }
    finish(m_generation); // the reading of the login, if it is still going
    if (!m_schedule)
        m_schedule = std::make_unique<ReviewSchedule>(m_usersDatabase, m_learner);
    QString why;
    if (!m_schedule->refresh(&why)) {
        m_error = why;
        if (error)
            *error = why;
        m_schedule.reset();
        return nullptr;
    }
    m_error.clear();
    return m_schedule.get();
}
