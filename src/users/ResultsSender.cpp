#include "ResultsSender.h"

#include "platform/SecretStore.h"

#include <chrono>

ResultsSender::ResultsSender(QObject* parent) : QObject(parent) {}

ResultsSender::~ResultsSender()
{
    stop();
}

void ResultsSender::start(const QString& usersDatabase, const ClassServerSettings& settings,
                          const QString& password, int intervalMs)
{
    stop();
    {
        std::lock_guard lock(m_mutex);
        m_usersDatabase = usersDatabase;
        m_settings = settings;
        m_password = password;
        m_intervalMs = intervalMs;
        m_sendRequested = true;
        m_settingsChanged = true;
        m_state.configured = settings.isSet();
        m_state.serverAddress = settings.isSet() ? settings.target(QString()).address() : QString();
    }
    m_stop = false;
    m_thread = std::thread([this] { run(); });
}

void ResultsSender::configure(const ClassServerSettings& settings, const QString& password)
{
    {
        std::lock_guard lock(m_mutex);
        m_settings = settings;
        m_password = password;
        m_settingsChanged = true;
        m_sendRequested = true;
        m_state.configured = settings.isSet();
        m_state.serverAddress = settings.isSet() ? settings.target(QString()).address() : QString();
        m_state.error.clear();
    }
    m_wake.notify_all();
    emit stateChanged();
}

void ResultsSender::sendSoon()
{
    {
        std::lock_guard lock(m_mutex);
        m_sendRequested = true;
    }
    m_wake.notify_all();
}

void ResultsSender::fetchFor(const QString& learner)
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_fetchRequests.contains(learner))
            m_fetchRequests << learner;
        m_sendRequested = true;
    }
    m_wake.notify_all();
}

void ResultsSender::stop()
{
    m_stop = true;
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

ResultsSender::State ResultsSender::state() const
{
    std::lock_guard lock(m_mutex);
    return m_state;
}

void ResultsSender::setState(const State& state)
{
    {
        std::lock_guard lock(m_mutex);
        const bool configured = m_state.configured;
        const QString address = m_state.serverAddress;
        m_state = state;
        // The settings may have changed during the try: they say what is configured.
        m_state.configured = configured;
        m_state.serverAddress = address;
    }
    emit stateChanged();
}

void ResultsSender::run()
{
    PgConnection connection;
    QString usersDatabase;
    ClassServerSettings settings;
    QString password;
    bool identitiesReady = false;
    bool lookUpPassword = false;
    QStringList fetches; // those that failed wait for the next try
    for (;;) {
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait_for(lock, std::chrono::milliseconds(m_intervalMs),
                            [this] { return m_stop || m_sendRequested || !m_fetchRequests.isEmpty(); });
            if (m_stop)
                return;
            // A timeout is a try as well.
            m_sendRequested = false;
            for (const QString& learner : std::as_const(m_fetchRequests)) {
                if (!fetches.contains(learner))
                    fetches << learner;
            }
            m_fetchRequests.clear();
            usersDatabase = m_usersDatabase;
            if (m_settingsChanged) {
                settings = m_settings;
                password = m_password;
                m_settingsChanged = false;
                connection.close();
                lookUpPassword = settings.isSet() && password.isEmpty();
            }
        }
        // The secret store may ask the user to unlock it: never where anyone waits.
        if (lookUpPassword) {
            password = SecretStore::load(settings.secretName()).value_or(QString());
            lookUpPassword = false;
        }
        State state = this->state();
        QString error;
        // The file's identities come first, before any result could be written under the
        // identity of a file it was copied from.
        if (!identitiesReady)
            identitiesReady = ClassSync::prepareIdentities(usersDatabase, &error);
        // After a failure the next try prepares them again (a restore may have reset them).
        if (!settings.isSet()) {
            fetches.clear();
            if (const auto unsent = ClassSync::unsentScores(usersDatabase, nullptr))
                state.unsent = *unsent;
            setState(state);
            continue;
        }
        state.busy = true;
        setState(state);
        bool ok = identitiesReady;
        if (ok && !connection.isConnected())
            ok = connection.connect(settings.target(password), &error, &m_stop);
        while (ok && !fetches.isEmpty()) {
            int added = 0;
            ok = ClassSync::fetchLearner(usersDatabase, connection, settings.className, fetches.first(),
                                         &error, &added, &m_stop);
            if (!ok)
                break;
            if (added > 0)
                emit learnerRowsAdded(fetches.first(), added);
            fetches.removeFirst();
        }
        if (ok)
            ok = ClassSync::sendPending(usersDatabase, connection, settings.className, &error, nullptr,
                                        &m_stop);
        if (m_stop)
            return;
        identitiesReady = identitiesReady && ok;
        state.busy = false;
        state.error = ok ? QString() : error;
        if (ok)
            state.lastSuccess = QDateTime::currentDateTime();
        if (const auto unsent = ClassSync::unsentScores(usersDatabase, nullptr))
            state.unsent = *unsent;
        setState(state);
    }
}
