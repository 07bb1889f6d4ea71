'''The desktop portal's GlobalShortcuts, for python3-dbusmock: as much as a client needs that
registers itself, creates a session, binds shortcuts and hears them. Each request answers at once
with its Response signal on the request's path, which the client listens to before it calls.'''

import dbus

BUS_NAME = 'org.freedesktop.portal.Desktop'
MAIN_OBJ = '/org/freedesktop/portal/desktop'
MAIN_IFACE = 'org.freedesktop.portal.GlobalShortcuts'
SYSTEM_BUS = False
REQUEST_IFACE = 'org.freedesktop.portal.Request'
REGISTRY_IFACE = 'org.freedesktop.host.portal.Registry'


def load(mock, _parameters):
    mock.AddProperties(MAIN_IFACE, dbus.Dictionary({'version': dbus.UInt32(1)}, signature='sv'))
    mock.AddMethod(REGISTRY_IFACE, 'Register', 'sa{sv}', '', '')


def _handle(kind, sender, token):
    '''The path of a request or session, as the portal forms it from the caller's name and token.'''
    return f'/org/freedesktop/portal/desktop/{kind}/{sender[1:].replace(".", "_")}/{token}'


def _respond(mock, path, results):
    mock._emit_signal(REQUEST_IFACE, 'Response', 'ua{sv}',  # pylint: disable=protected-access
                      [dbus.UInt32(0), dbus.Dictionary(results, signature='sv')], {'path': path})


@dbus.service.method(MAIN_IFACE, in_signature='a{sv}', out_signature='o', sender_keyword='sender')
def CreateSession(self, options, sender=None):
    request = _handle('request', sender, options['handle_token'])
    session = _handle('session', sender, options['session_handle_token'])
    _respond(self, request, {'session_handle': dbus.String(session)})
    return dbus.ObjectPath(request)


@dbus.service.method(MAIN_IFACE, in_signature='oa(sa{sv})sa{sv}', out_signature='o', sender_keyword='sender')
def BindShortcuts(self, _session, shortcuts, _parent_window, options, sender=None):
    request = _handle('request', sender, options['handle_token'])
    bound = dbus.Array([dbus.Struct((name, dbus.Dictionary({
        'description': properties['description'],
        'trigger_description': properties.get('preferred_trigger', ''),
    }, signature='sv'))) for name, properties in shortcuts], signature='(sa{sv})')
    _respond(self, request, {'shortcuts': bound})
    return dbus.ObjectPath(request)
