#!/usr/bin/python3
"""Owns, on the session bus, the sleep inhibition services asked for
(--portal, --screensaver, --login1) and logs one line per call to --log PATH."""
import os
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

SCREENSAVER = "org.freedesktop.ScreenSaver"
method = dbus.service.method


class Service(dbus.service.Object):
    def __init__(self, bus, path, log):
        super().__init__(bus, path)
        self.bus, self.log, self.count = bus, log, 0

    def next(self, line, *values):
        self.count += 1
        self.log(line % ((self.count,) + values))
        return self.count


class Request(Service):
    @method("org.freedesktop.portal.Request", in_signature="", out_signature="")
    def Close(self):
        self.log("portal-close %d" % self.number)
        self.remove_from_connection()


class Portal(Service):
    @method("org.freedesktop.portal.Inhibit", in_signature="sua{sv}", out_signature="o",
            sender_keyword="sender")
    def Inhibit(self, window, flags, options, sender=None):
        number = self.next("portal-inhibit %d flags=%d reason=%s", flags, options.get("reason", ""))
        path = "/org/freedesktop/portal/desktop/request/%s/t%d" % (sender[1:].replace(".", "_"), number)
        Request(self.bus, path, self.log).number = number
        return dbus.ObjectPath(path)


class ScreenSaver(Service):
    @method(SCREENSAVER, in_signature="ss", out_signature="u")
    def Inhibit(self, application, reason):
        return dbus.UInt32(self.next("screensaver-inhibit %d application=%s reason=%s", application, reason))

    @method(SCREENSAVER, in_signature="u", out_signature="")
    def UnInhibit(self, cookie):
        self.log("screensaver-uninhibit %d" % cookie)


class Login1(Service):
    @method("org.freedesktop.login1.Manager", in_signature="ssss", out_signature="h")
    def Inhibit(self, what, who, why, mode):
        number = self.next("login1-inhibit %d what=%s who=%s why=%s mode=%s", what, who, why, mode)
        read_end, write_end = os.pipe()
        GLib.io_add_watch(read_end, GLib.IO_HUP | GLib.IO_ERR,
                          lambda fd, _: [self.log("login1-release %d" % number), os.close(fd)] and False)
        handle = dbus.types.UnixFd(write_end)
        os.close(write_end)
        return handle


log_file = open(sys.argv[sys.argv.index("--log") + 1], "a", buffering=1)
DBusGMainLoop(set_as_default=True)
bus = dbus.SessionBus()
keep = []
for flag, name, kind, path in (
        ("--portal", "org.freedesktop.portal.Desktop", Portal, "/org/freedesktop/portal/desktop"),
        ("--screensaver", SCREENSAVER, ScreenSaver, "/org/freedesktop/ScreenSaver"),
        ("--login1", "org.freedesktop.login1", Login1, "/org/freedesktop/login1")):
    if flag in sys.argv:
        keep += [kind(bus, path, lambda line: log_file.write(line + "\n")),
                 dbus.service.BusName(name, bus, do_not_queue=True)]
print("ready", flush=True)
GLib.MainLoop().run()
