#include "ui/desktop/desktop_notifications.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QVariantMap>
#include <map>

#include "engine/look/notification_icon.h"

namespace vorla::ui {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

QDBusMessage methodCall(const QString& method) {
    return QDBusMessage::createMethodCall(kService, kPath, kService, method);
}

bool answered(QDBusConnection& bus, const QDBusMessage& message) {
    QDBusMessage reply = bus.call(message, QDBus::Block,
                                  static_cast<int>(DesktopNotifications::kCallTimeout.count()));
    return reply.type() == QDBusMessage::ReplyMessage;
}

// The "image-data" hint: (iiibiiay) width, height, row stride, alpha, bits
// per sample, channels, pixels.
QVariant iconHint() {
    static const RgbaImage icon = notificationIcon();
    QDBusArgument argument;
    argument.beginStructure();
    argument << icon.width << icon.height << icon.width * 4 << true << 8 << 4
             << QByteArray(reinterpret_cast<const char*>(icon.pixels.data()),
                           static_cast<qsizetype>(icon.pixels.size()));
    argument.endStructure();
    return QVariant::fromValue(argument);
}

QDBusMessage notifyCall(const std::string& title, const std::string& body, bool markup,
                        const QStringList& actions = {}) {
    QVariantMap hints;
    hints.insert(QStringLiteral("image-data"), iconHint());
    hints.insert(QStringLiteral("suppress-sound"), true);
    int timeout = -1;
    if (!actions.isEmpty()) {
        // An agent is blocked until this is answered: keep it on screen and in
        // the list (critical stays up on GNOME and KDE), and name our entry so
        // the service shows our name and icon.
        hints.insert(QStringLiteral("urgency"), QVariant::fromValue(uchar{2}));
        hints.insert(QStringLiteral("resident"), true);
        hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("vorla-agents"));
        timeout = 0;
    }
    QDBusMessage message = methodCall(QStringLiteral("Notify"));
    message << QStringLiteral("Vorla Agents") << 0u << QString() << QString::fromStdString(title)
            << (markup ? QString::fromStdString(body).toHtmlEscaped()
                       : QString::fromStdString(body))
            << actions << hints << timeout;
    return message;
}

bool lists(const QDBusMessage& reply, const QString& capability) {
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           reply.arguments().constFirst().toStringList().contains(capability);
}

}  // namespace

// Receives the service's ActionInvoked and NotificationClosed signals on the
// main thread and maps notification ids back to gates.
class NotificationActions final : public QObject {
    Q_OBJECT
  public:
    explicit NotificationActions(DesktopNotifications::GateAnswers answers)
        : answers_(std::move(answers)) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        bus.connect(kService, kPath, kService, QStringLiteral("ActionInvoked"), this,
                    SLOT(invoked(uint, QString)));
        bus.connect(kService, kPath, kService, QStringLiteral("NotificationClosed"), this,
                    SLOT(closed(uint, uint)));
    }

    void remember(uint id, const std::string& gateId) { gates_[id] = gateId; }

    void withdrawClosed(const std::function<bool(const std::string&)>& isOpen) {
        for (auto it = gates_.begin(); it != gates_.end();) {
            if (isOpen(it->second)) {
                ++it;
                continue;
            }
            QDBusMessage close = methodCall(QStringLiteral("CloseNotification"));
            close << it->first;
            QDBusConnection::sessionBus().send(close);  // no answer awaited
            it = gates_.erase(it);
        }
    }

    Q_SLOT void invoked(uint id, const QString& action) {
        const auto it = gates_.find(id);
        if (it == gates_.end()) {
            return;  // another program's notification, or one already answered
        }
        const std::string gate = it->second;
        if (action == QLatin1String("allow") || action == QLatin1String("deny")) {
            gates_.erase(it);
            if (answers_.answer) {
                answers_.answer(
                    gate, action == QLatin1String("allow") ? Behavior::allow : Behavior::deny);
            }
        } else if (action == QLatin1String("default") && answers_.open) {
            answers_.open();
        }
    }

    Q_SLOT void closed(uint id, uint /*reason*/) { gates_.erase(id); }

  private:
    DesktopNotifications::GateAnswers answers_;
    std::map<uint, std::string> gates_;
};

DesktopNotifications::DesktopNotifications() : worker_([this] { run(); }) {}

DesktopNotifications::~DesktopNotifications() {
    {
        MutexLock lock(mutex_);
        stopping_ = true;
        jobs_.clear();
    }
    wake_.notify_one();
    worker_.join();
}

void DesktopNotifications::requestAuth(std::function<void(bool)> answer) {
    enqueue([this, answer = std::move(answer)](QDBusConnection& bus) {
        if (!bus.isConnected()) {
            answer(false);
            return;
        }
        const QDBusMessage reply = bus.call(methodCall(QStringLiteral("GetCapabilities")),
                                            QDBus::Block, static_cast<int>(kCallTimeout.count()));
        actions_ = lists(reply, QStringLiteral("actions"));
        markup_ = lists(reply, QStringLiteral("body-markup"));
        answer(reply.type() == QDBusMessage::ReplyMessage);
    });
}

void DesktopNotifications::answerGatesWith(GateAnswers answers) {
    listener_ = std::make_unique<NotificationActions>(std::move(answers));
}

void DesktopNotifications::withdrawClosed(
    const std::function<bool(const std::string& gateId)>& isOpen) {
    if (listener_) {
        listener_->withdrawClosed(isOpen);
    }
}

void DesktopNotifications::postGate(std::string title, std::string body, std::string gateId) {
    NotificationActions* listener = listener_.get();
    enqueue([this, listener, title = std::move(title), body = std::move(body),
             gateId = std::move(gateId)](QDBusConnection& bus) {
        if (listener == nullptr || !actions_) {
            const char* how = listener != nullptr
                                  ? "Answer on the island at the top of the screen."
                                  : "Answer with vorla-agents allow or deny (vorla-agents "
                                    "status lists the approvals).";
            if (bus.isConnected()) {
                (void)answered(bus, notifyCall(title, body + "\n" + how, markup_));
            }
            return;
        }
        const QStringList actions{QStringLiteral("default"), QStringLiteral("Show"),
                                  QStringLiteral("allow"),   QStringLiteral("Allow"),
                                  QStringLiteral("deny"),    QStringLiteral("Deny")};
        QDBusConnection shared = QDBusConnection::sessionBus();
        const QDBusMessage reply =
            shared.call(notifyCall(title, body, markup_, actions), QDBus::Block,
                        static_cast<int>(kCallTimeout.count()));
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
            return;
        }
        const uint id = reply.arguments().constFirst().toUInt();
        QMetaObject::invokeMethod(
            listener, [listener, id, gateId] { listener->remember(id, gateId); },
            Qt::QueuedConnection);
    });
}

void DesktopNotifications::post(std::string title, std::string body) {
    enqueue([this, title = std::move(title), body = std::move(body)](QDBusConnection& bus) {
        if (bus.isConnected()) {
            (void)answered(bus, notifyCall(title, body, markup_));  // a refusal is dropped
        }
    });
}

void DesktopNotifications::enqueue(Job job) {
    {
        MutexLock lock(mutex_);
        if (jobs_.size() >= kMaxWaiting) {
            return;
        }
        jobs_.push_back(std::move(job));
    }
    wake_.notify_one();
}

void DesktopNotifications::run() {
    const QString name =
        QStringLiteral("vorla-notifications-%1").arg(reinterpret_cast<quintptr>(this));
    {
        // Connected at the first job: a bus that appears later is found then.
        QDBusConnection bus(name);
        MutexLock lock(mutex_);
        while (true) {
            wake_.wait(lock.native(),
                       [this]() VORLA_REQUIRES(mutex_) { return stopping_ || !jobs_.empty(); });
            if (stopping_) {
                break;
            }
            Job job = std::move(jobs_.front());
            jobs_.pop_front();
            lock.unlock();
            if (!bus.isConnected()) {
                QDBusConnection::disconnectFromBus(name);
                bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
            }
            job(bus);
            lock.lock();
        }
    }
    QDBusConnection::disconnectFromBus(name);
}

}  // namespace vorla::ui

#include "desktop_notifications.moc"
