'''The hotkeys through the desktop portal, against python3-dbusmock on a private session bus (run
under dbus-run-session): the application registers as io.github.velmora.velmora and binds the twelve
shortcuts with their suggested triggers; Activated then Deactivated give the zoom-in press then its
release on the simulated camera's trace; a portal without GlobalShortcuts leaves the hotkeys off
with the message that says so.

Usage: portal_check.py VELMORA'''

import os
import subprocess
import sys
import tempfile
import time

import dbus
import dbusmock

HERE = os.path.dirname(os.path.abspath(__file__))
SHORTCUTS = 'org.freedesktop.portal.GlobalShortcuts'
ZOOM_IN = '26 16 00 00 00 01 00 00 00 00 03 BF'
KEY_UP = '26 16 00 00 00 01 00 00 00 00 16 AC'


def fail(message, work):
    print(f'FAIL: {message}', file=sys.stderr)
    for name in sorted(os.listdir(work)):
        if name.endswith('.log'):
            with open(os.path.join(work, name), encoding='utf-8', errors='replace') as log:
                print(f'--- {name}\n{log.read()}', file=sys.stderr)
    sys.exit(1)


def wait_for(condition, seconds=10):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if condition():
            return True
        time.sleep(0.1)
    return condition()


def read(path):
    try:
        with open(path, encoding='utf-8') as text:
            return text.read()
    except FileNotFoundError:
        return ''


def sets(trace):
    '''The key writes on the trace (not the status reads at start).'''
    writes = [line.split('data=')[1] for line in read(trace).splitlines() if line.startswith('SET ')]
    return [data for data in writes if data.startswith('26 16 ')]


def start_velmora(velmora, work, name):
    environment = dict(os.environ, QT_QPA_PLATFORM='offscreen', VELMORA_HOTKEY_BACKEND='portal',
                       VELMORA_BACKEND='sim', VELMORA_SIM_CONFIG='', VELMORA_SIM_TRACE=os.path.join(work, 'trace'),
                       VELMORA_DEBUG_LOG=os.path.join(work, f'{name}.log'), XDG_CONFIG_HOME=os.path.join(work, 'config'))
    with open(os.path.join(work, f'{name}.out.log'), 'w', encoding='utf-8') as output:
        return subprocess.Popen([velmora, '--hotkeys'], env=environment, stdout=output, stderr=subprocess.STDOUT)


def stop(process, what, work):
    process.terminate()
    if process.wait(timeout=20) != 0:
        fail(f'{what}: velmora exited {process.returncode}', work)


def main():
    velmora = sys.argv[1]
    work = tempfile.mkdtemp()
    trace = os.path.join(work, 'trace')
    calls = lambda method: mock.GetMethodCalls(method, dbus_interface=dbusmock.MOCK_IFACE)  # noqa: E731

    with open(os.path.join(work, 'mock.log'), 'w', encoding='utf-8') as log:
        server, mock = dbusmock.DBusTestCase.spawn_server_template(os.path.join(HERE, 'portal_mock.py'), {}, log)
    try:
        velmora_process = start_velmora(velmora, work, 'portal')
        if not wait_for(lambda: calls('BindShortcuts')):
            fail('no BindShortcuts call reached the portal', work)
        registered = [[str(argument) for argument in call[1][:1]] for call in calls('Register')]
        if registered != [['io.github.velmora.velmora']]:
            fail(f'registered as {registered}, not io.github.velmora.velmora', work)
        session, shortcuts = calls('BindShortcuts')[0][1][:2]
        session = dbus.ObjectPath(str(session))
        nothing = dbus.Dictionary({}, signature='sv')
        triggers = {str(name): str(properties['preferred_trigger']) for name, properties in shortcuts}
        if len(triggers) != 12 or triggers.get('zoom-in') != 'CTRL+ALT+Up' or triggers.get('menu') != 'CTRL+ALT+Return':
            fail(f'bound {triggers}', work)
        print('registered as io.github.velmora.velmora, bound 12 shortcuts (zoom-in: CTRL+ALT+Up)')
        if not wait_for(lambda: 'hotkeys on (desktop portal): 12 of 12 bound' in read(os.path.join(work, 'portal.log'))):
            fail('the window did not take the portal\'s answer', work)

        mock.EmitSignal(SHORTCUTS, 'Activated', 'osta{sv}', [session, 'zoom-in', dbus.UInt64(1000), nothing],
                        dbus_interface=dbusmock.MOCK_IFACE)
        wait_for(lambda: len(sets(trace)) >= 1)
        time.sleep(0.5)
        # Another session's shortcut is no one's here.
        mock.EmitSignal(SHORTCUTS, 'Deactivated', 'osta{sv}',
                        [dbus.ObjectPath('/org/freedesktop/portal/desktop/session/other/x'), 'zoom-in', dbus.UInt64(1400), nothing],
                        dbus_interface=dbusmock.MOCK_IFACE)
        time.sleep(0.3)
        if sets(trace) != [ZOOM_IN]:
            fail(f'Activated sent {sets(trace)}', work)
        mock.EmitSignal(SHORTCUTS, 'Deactivated', 'osta{sv}', [session, 'zoom-in', dbus.UInt64(1500), nothing],
                        dbus_interface=dbusmock.MOCK_IFACE)
        wait_for(lambda: len(sets(trace)) >= 2)
        time.sleep(0.3)
        if sets(trace) != [ZOOM_IN, KEY_UP]:
            fail(f'Activated then Deactivated sent {sets(trace)}', work)
        print('Activated then Deactivated: the zoom-in press, then its release')
        stop(velmora_process, 'with the portal', work)
    finally:
        server.terminate()
        server.wait()

    open(trace, 'w', encoding='utf-8').close()
    with open(os.path.join(work, 'plain-mock.log'), 'w', encoding='utf-8') as log:
        server = dbusmock.DBusTestCase.spawn_server('org.freedesktop.portal.Desktop', '/org/freedesktop/portal/desktop',
                                                    'org.freedesktop.portal.Settings', stdout=log)
    try:
        velmora_process = start_velmora(velmora, work, 'without')
        message = "hotkeys are off: this desktop's portal has no GlobalShortcuts interface"
        if not wait_for(lambda: message in read(os.path.join(work, 'without.log'))):
            fail('a portal without GlobalShortcuts did not leave the hotkeys off with the message', work)
        if 'velmoractl key NAME click' not in read(os.path.join(work, 'without.log')):
            fail('the message names no fallback', work)
        stop(velmora_process, 'without GlobalShortcuts', work)
        if sets(trace):
            fail(f'without GlobalShortcuts: sent {sets(trace)}', work)
        print('a portal without GlobalShortcuts: hotkeys off, with the message and the fallback')
    finally:
        server.terminate()
        server.wait()


if __name__ == '__main__':
    main()
