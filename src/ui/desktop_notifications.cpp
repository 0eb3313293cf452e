#include "ui/desktop_notifications.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantMap>

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

QDBusMessage notifyCall(const std::string& title, const std::string& body) {
    QVariantMap hints;
    hints.insert(QStringLiteral("image-data"), iconHint());
    hints.insert(QStringLiteral("suppress-sound"), true);
    QDBusMessage message = methodCall(QStringLiteral("Notify"));
    message << QStringLiteral("Vorla Agents") << 0u << QString() << QString::fromStdString(title)
            << QString::fromStdString(body) << QStringList() << hints << -1;
    return message;
}

}  // namespace

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
    enqueue([answer = std::move(answer)](QDBusConnection& bus) {
        answer(bus.isConnected() && answered(bus, methodCall(QStringLiteral("GetCapabilities"))));
    });
}

void DesktopNotifications::post(std::string title, std::string body) {
    enqueue([title = std::move(title), body = std::move(body)](QDBusConnection& bus) {
        if (bus.isConnected()) {
            (void)answered(bus, notifyCall(title, body));  // a refusal is dropped
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
