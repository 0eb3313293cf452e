#!/usr/bin/python3
# A stand-in for a desktop's notification service on a private session bus:
# records every Notify call as one JSON line in RECORDS, and touches
# RECORDS.ready once it owns the name (RECORDS.taken when another service
# already does). Run with Debian's /usr/bin/python3, which has python3-dbus.
#
# Optional arguments: the capabilities to list (comma-separated, default
# "body"), and an action key to invoke, as a person's click would, on each
# notification that offers it.
import json
import os
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

NAME = "org.freedesktop.Notifications"
records = sys.argv[1]
capabilities = sys.argv[2].split(",") if len(sys.argv) > 2 else ["body"]
click = sys.argv[3] if len(sys.argv) > 3 else None


class Notifications(dbus.service.Object):
    next_id = 0

    @dbus.service.method(NAME, in_signature="susssasa{sv}i", out_signature="u")
    def Notify(self, app, replaces, icon, summary, body, actions, hints, timeout):
        image = hints.get("image-data")
        entry = {
            "app": str(app),
            "summary": str(summary),
            "body": str(body),
            "image": [int(image[0]), int(image[1]), len(image[6])] if image is not None else None,
            "suppressSound": bool(hints.get("suppress-sound", False)),
        }
        if actions:
            entry["actions"] = [str(a) for a in actions]
            entry["urgency"] = int(hints.get("urgency", -1))
            entry["resident"] = bool(hints.get("resident", False))
            entry["desktopEntry"] = str(hints.get("desktop-entry", ""))
        self.record(entry)
        Notifications.next_id += 1
        number = Notifications.next_id
        if click in actions[::2]:
            GLib.timeout_add(100, lambda: self.ActionInvoked(number, click) and False)
        return number

    @dbus.service.method(NAME, in_signature="u", out_signature="")
    def CloseNotification(self, number):
        self.record({"closed": int(number)})
        self.NotificationClosed(number, 3)

    @dbus.service.signal(NAME, signature="us")
    def ActionInvoked(self, number, key):
        pass

    @dbus.service.signal(NAME, signature="uu")
    def NotificationClosed(self, number, reason):
        pass

    def record(self, entry):
        with open(records, "a", encoding="utf-8") as out:
            out.write(json.dumps(entry, ensure_ascii=False) + "\n")

    @dbus.service.method(NAME, in_signature="", out_signature="as")
    def GetCapabilities(self):
        return capabilities


DBusGMainLoop(set_as_default=True)
bus = dbus.SessionBus()
if bus.request_name(NAME, dbus.bus.NAME_FLAG_DO_NOT_QUEUE) != dbus.bus.REQUEST_NAME_REPLY_PRIMARY_OWNER:
    open(records + ".taken", "w").close()
    sys.exit(3)
Notifications(bus, "/org/freedesktop/Notifications")
open(records + ".ready", "w").close()
GLib.MainLoop().run()
