"""Drives the real program with a StatusNotifierItem tray host on the session bus and checks its
tray icon end to end: the icon's registration and tip, its exported menu, the minimise
notification (normal urgency, the launcher entry, replacing the one before), restore through
the menu's 显示主窗口 as GNOME's left click offers it and through Activate, the tray going away
(the Main window ends minimised by the window manager, openbox here) and coming back (the window
goes into the tray again), and 退出 through the menu.

Started by sni_e2e.sh inside headless_desktop.sh. This driver puts a StatusNotifierWatcher (that
is its own host, so Qt chooses the D-Bus tray over XEmbed) and a notification server on the
session bus before the program starts, then talks to the icon over the bus as a tray host does.
"""
import os
import re
import sys
import threading
import time

from gi.repository import Gio, GLib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'support'))
from desktop import (MENU_LABELS, MINIMISE, check, click_in_main, iconic, log,  # noqa: E402
                     run_driver, shown, wait_until, window_id)

WATCHER = 'org.kde.StatusNotifierWatcher'
WATCHER_PATH = '/StatusNotifierWatcher'
NOTIFICATIONS = 'org.freedesktop.Notifications'
NOTIFICATIONS_PATH = '/org/freedesktop/Notifications'
ITEM = 'org.kde.StatusNotifierItem'
ITEM_PATH = '/StatusNotifierItem'
MENU = 'com.canonical.dbusmenu'

INTERFACES = Gio.DBusNodeInfo.new_for_xml('''<node>
  <interface name="org.kde.StatusNotifierWatcher">
    <method name="RegisterStatusNotifierItem"><arg type="s" direction="in"/></method>
    <method name="RegisterStatusNotifierHost"><arg type="s" direction="in"/></method>
    <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
    <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
    <property name="ProtocolVersion" type="i" access="read"/>
    <signal name="StatusNotifierItemRegistered"><arg type="s"/></signal>
    <signal name="StatusNotifierItemUnregistered"><arg type="s"/></signal>
    <signal name="StatusNotifierHostRegistered"/>
    <signal name="StatusNotifierHostUnregistered"/>
  </interface>
  <interface name="org.freedesktop.Notifications">
    <method name="GetCapabilities"><arg type="as" direction="out"/></method>
    <method name="Notify">
      <arg type="s" direction="in"/><arg type="u" direction="in"/><arg type="s" direction="in"/>
      <arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="as" direction="in"/>
      <arg type="a{sv}" direction="in"/><arg type="i" direction="in"/>
      <arg type="u" direction="out"/>
    </method>
    <method name="CloseNotification"><arg type="u" direction="in"/></method>
    <method name="GetServerInformation">
      <arg type="s" direction="out"/><arg type="s" direction="out"/>
      <arg type="s" direction="out"/><arg type="s" direction="out"/>
    </method>
    <signal name="NotificationClosed"><arg type="u"/><arg type="u"/></signal>
    <signal name="ActionInvoked"><arg type="u"/><arg type="s"/></signal>
  </interface>
</node>''')


class TrayBus:
    """The watcher with its host and the notification server, answering from a thread and a
    main context of their own (the accessibility code keeps the default one)."""

    def __init__(self):
        self.lock = threading.Lock()
        self.items = []  # (service, object path) of each registered item
        self.notes = []  # the arguments of each Notify
        self.bus = None
        ready = threading.Event()
        threading.Thread(target=self._serve, args=(ready,), daemon=True).start()
        check(ready.wait(10) and self.bus is not None,
              'the watcher and the notification server are on the session bus')

    def _serve(self, ready):
        context = GLib.MainContext()
        context.push_thread_default()
        bus = Gio.DBusConnection.new_for_address_sync(
            Gio.dbus_address_get_for_bus_sync(Gio.BusType.SESSION, None),
            Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT |
            Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION, None, None)
        bus.register_object(WATCHER_PATH, INTERFACES.lookup_interface(WATCHER), self._call,
                            self._property, None)
        bus.register_object(NOTIFICATIONS_PATH, INTERFACES.lookup_interface(NOTIFICATIONS),
                            self._call, None, None)
        bus.signal_subscribe('org.freedesktop.DBus', 'org.freedesktop.DBus', 'NameOwnerChanged',
                             '/org/freedesktop/DBus', None, Gio.DBusSignalFlags.NONE,
                             self._name_owner_changed)
        # Owned synchronously: Qt looks for the watcher once, when the program first uses the tray.
        for name in (WATCHER, NOTIFICATIONS):
            reply = bus.call_sync('org.freedesktop.DBus', '/org/freedesktop/DBus',
                                  'org.freedesktop.DBus', 'RequestName',
                                  GLib.Variant('(su)', (name, 4)), None,  # 4: do not queue
                                  Gio.DBusCallFlags.NONE, 5000, None)
            if reply.unpack()[0] != 1:
                return
        self.bus = bus
        ready.set()
        GLib.MainLoop(context).run()

    def _call(self, bus, sender, path, interface, method, params, invocation):
        args = params.unpack()
        reply = None
        if method == 'RegisterStatusNotifierItem':
            # A bare object path names an object on the caller's own connection.
            item = (sender, args[0]) if args[0].startswith('/') else (args[0], ITEM_PATH)
            with self.lock:
                self.items.append(item)
            bus.emit_signal(None, WATCHER_PATH, WATCHER, 'StatusNotifierItemRegistered',
                            GLib.Variant('(s)', (''.join(item),)))
        elif method == 'RegisterStatusNotifierHost':
            bus.emit_signal(None, WATCHER_PATH, WATCHER, 'StatusNotifierHostRegistered', None)
        elif method == 'Notify':
            with self.lock:
                self.notes.append(args)
                reply = GLib.Variant('(u)', (len(self.notes),))
        elif method == 'CloseNotification':
            bus.emit_signal(None, NOTIFICATIONS_PATH, NOTIFICATIONS, 'NotificationClosed',
                            GLib.Variant('(uu)', (args[0], 3)))
        elif method == 'GetCapabilities':
            reply = GLib.Variant('(as)', (['body'],))
        elif method == 'GetServerInformation':
            reply = GLib.Variant('(ssss)', ('sni_e2e', 'Sonaro tests', '1', '1.2'))
        invocation.return_value(reply)

    def _property(self, bus, sender, path, interface, name):
        with self.lock:
            return {'RegisteredStatusNotifierItems':
                    GLib.Variant('as', [''.join(item) for item in self.items]),
                    'IsStatusNotifierHostRegistered': GLib.Variant('b', True),
                    'ProtocolVersion': GLib.Variant('i', 0)}[name]

    def _name_owner_changed(self, bus, sender, path, interface, signal, params):
        name, _, owner = params.unpack()
        with self.lock:
            gone = [item for item in self.items if item[0] == name and not owner]
            self.items = [item for item in self.items if item not in gone]
        for item in gone:
            bus.emit_signal(None, WATCHER_PATH, WATCHER, 'StatusNotifierItemUnregistered',
                            GLib.Variant('(s)', (''.join(item),)))

    def call(self, service, path, interface, method, args=None, reply=None):
        result = self.bus.call_sync(service, path, interface, method, args,
                                    GLib.VariantType(reply) if reply else None,
                                    Gio.DBusCallFlags.NONE, 5000, None)
        return result.unpack() if result is not None else None

    def own_watcher(self, owned):
        """The tray host goes away (GNOME drops its extensions at a screen lock) or comes back."""
        self.call('org.freedesktop.DBus', '/org/freedesktop/DBus', 'org.freedesktop.DBus',
                  'RequestName' if owned else 'ReleaseName',
                  GLib.Variant('(su)', (WATCHER, 4)) if owned else GLib.Variant('(s)', (WATCHER,)))

    def notes_made(self):
        with self.lock:
            return list(self.notes)

    def registered(self):
        with self.lock:
            return list(self.items)

    def notified(self):
        with self.lock:
            return [(note[3], note[4]) for note in self.notes]  # (summary, body)


def menu_entries(tray, service, path):
    """(id, label) of the visible entries at the menu's top level, mnemonic marks dropped."""
    _, (_, _, children) = tray.call(service, path, MENU, 'GetLayout',
                                    GLib.Variant('(iias)', (0, -1, [])), '(u(ia{sv}av))')
    return [(ident, re.sub('[&_]', '', props.get('label', ''))) for ident, props, _ in children
            if props.get('visible', True) and props.get('type', 'standard') == 'standard']


def drive(args, start):
    tray = TrayBus()
    program = start()
    pid = program.proc.pid
    # The icon registers with the watcher from its own connection, with its tip.
    check(wait_until(tray.registered, 10), 'the icon registers with the watcher')
    service, path = tray.registered()[0]
    owner = tray.call('org.freedesktop.DBus', '/org/freedesktop/DBus', 'org.freedesktop.DBus',
                      'GetConnectionUnixProcessID', GLib.Variant('(s)', (service,)), '(u)')
    check(owner == (pid,), 'the item %s%s is the program\'s' % (service, path))
    props = tray.call(service, path, 'org.freedesktop.DBus.Properties', 'GetAll',
                      GLib.Variant('(s)', (ITEM,)), '(a{sv})')[0]
    log('item', {k: v for k, v in props.items() if k not in ('IconPixmap', 'ToolTip')},
        'tool tip', props['ToolTip'][:1] + props['ToolTip'][2:])
    check(props['ToolTip'][2] == '收音机', 'the tool tip\'s title is 收音机')
    check(props['ToolTip'][1] or props['IconPixmap'], 'the icon comes with its picture')

    # The Main window's menu is exported, its five entries in order.
    menu = props.get('Menu', '')
    check(menu not in ('', '/', '/NO_DBUSMENU'), 'the item exports a menu (Menu is %s)' % menu)
    entries = menu_entries(tray, service, menu)
    check([label for _, label in entries] == MENU_LABELS,
          'the menu lists %s (got %s)' % (' '.join(MENU_LABELS), entries))

    # Minimise: the Main window goes and a notification tells how to come back, one that GNOME
    # pops up (normal urgency) under the program's launcher entry.
    check(wait_until(lambda: 'main' in shown(pid), 10), 'the Main window is shown')
    click_in_main(program, MINIMISE)
    check(wait_until(lambda: 'main' not in shown(pid), 5), 'zuixiao hides the Main window')
    check(wait_until(lambda: ('窗口最小化', '左键单击恢复窗口') in tray.notified(), 5),
          'a notification 窗口最小化 / 左键单击恢复窗口 arrives (got %s)' % tray.notified())
    app, replaces, icon, _, _, _, hints, _ = tray.notes_made()[-1]
    log('notification', app, replaces, icon, hints)
    check(hints.get('urgency') == 1, 'its urgency is normal (1), not low (got %r)'
          % hints.get('urgency'))
    check(hints.get('desktop-entry') == 'org.sonaro.Sonaro' and icon == 'org.sonaro.Sonaro',
          'it names the launcher entry and the icon org.sonaro.Sonaro')

    # GNOME's left click opens the menu: its first entry brings the Main window back.
    check(entries and entries[0][1] == '显示主窗口', 'the menu starts with 显示主窗口')
    tray.call(service, menu, MENU, 'AboutToShow', GLib.Variant('(i)', (0,)))
    tray.call(service, menu, MENU, 'Event',
              GLib.Variant('(isvu)', (entries[0][0], 'clicked', GLib.Variant('i', 0), 0)))
    check(wait_until(lambda: 'main' in shown(pid), 5), '显示主窗口 shows the Main window again')

    # Minimised again: the new notification replaces the first instead of stacking.
    click_in_main(program, MINIMISE)
    check(wait_until(lambda: len(tray.notes_made()) == 2, 5), 'a second notification')
    check(tray.notes_made()[1][1] == 1, 'it replaces the first (replaces_id %d)'
          % tray.notes_made()[1][1])

    # The tray goes away: the Main window comes back minimised, not shown in front; the tray
    # back within seconds (an unlock): into the tray again, and the icon registers again.
    registrations = len(tray.registered())
    tray.own_watcher(False)
    main = window_id(pid, 'main')
    check(wait_until(lambda: iconic(main), 5), 'the tray gone, the Main window is minimised')
    time.sleep(1)
    check(iconic(main) and 'main' not in shown(pid), 'and stays so')
    tray.own_watcher(True)
    check(wait_until(lambda: not iconic(main) and 'main' not in shown(pid), 5),
          'the tray back, the Main window is in it again, not in the taskbar')
    check(wait_until(lambda: len(tray.registered()) > registrations, 10),
          'the icon registers with the tray again')

    # Activate, another host's left click, brings the Main window back.
    service, path = tray.registered()[-1]
    tray.call(service, path, ITEM, 'Activate', GLib.Variant('(ii)', (640, 10)))
    check(wait_until(lambda: 'main' in shown(pid), 5), 'Activate shows the Main window again')

    # 退出 clicked in the exported menu ends the program.
    exit_id = dict((label, ident) for ident, label in entries)['退出']
    try:
        tray.call(service, menu, MENU, 'Event',
                  GLib.Variant('(isvu)', (exit_id, 'clicked', GLib.Variant('i', 0), 0)))
    except GLib.Error as error:  # the program may end before it answers
        log('Event:', error.message)
    code = program.proc.wait(timeout=10)
    check(code == 0, '退出 in the exported menu ends the program with exit code 0 (got %s)'
          % code)


if __name__ == '__main__':
    sys.exit(run_driver(drive, 'all StatusNotifierItem checks passed'))
