'''ModemManager mock template for python3-dbusmock.

Debian 12's python3-dbusmock has no ModemManager template; this one offers
what the Connection Manager's tests need: the manager object with its object
manager at /org/freedesktop/ModemManager1 and modems below it, each with the
org.freedesktop.ModemManager1.Modem and .Modem.Modem3gpp interfaces.

    python3 -m dbusmock --template path/to/modemmanager_mock.py
'''

import dbus

from dbusmock import MOCK_IFACE
import dbusmock

BUS_NAME = 'org.freedesktop.ModemManager1'
MAIN_OBJ = '/org/freedesktop/ModemManager1'
MAIN_IFACE = 'org.freedesktop.ModemManager1'
MODEM_IFACE = 'org.freedesktop.ModemManager1.Modem'
MODEM_3GPP_IFACE = 'org.freedesktop.ModemManager1.Modem.Modem3gpp'
SYSTEM_BUS = True
IS_OBJECT_MANAGER = True

# MMModemState
MODEM_STATE_REGISTERED = 8


def load(mock, _parameters):
    mock.AddProperties(MAIN_IFACE, {'Version': '1.20.4'})
    mock.AddMethods(MAIN_IFACE, [('ScanDevices', '', '', ''), ('SetLogging', 's', '', '')])


@dbus.service.method(MOCK_IFACE, in_signature='su', out_signature='s')
def AddModem(self, name, registration_state):
    '''Adds a registered modem with the given 3GPP registration state
    (MMModem3gppRegistrationState: 1 home, 5 roaming, ...); returns its path.'''
    path = MAIN_OBJ + '/Modem/' + name
    self.AddObject(path, MODEM_IFACE, {
        'State': dbus.Int32(MODEM_STATE_REGISTERED),
        'Manufacturer': 'dbusmock',
        'Model': 'mock modem',
        'PrimaryPort': 'ttyUSB0',
    }, [])
    modem = dbusmock.get_object(path)
    modem.AddProperties(MODEM_3GPP_IFACE, {
        'RegistrationState': dbus.UInt32(registration_state),
        'OperatorCode': '26201',
        'OperatorName': 'Mock Mobile',
    })
    self.object_manager_emit_added(path)
    return path


@dbus.service.method(MOCK_IFACE, in_signature='su', out_signature='')
def SetRegistrationState(_self, path, registration_state):
    '''Changes a modem's 3GPP registration state, as when it moves across a border.'''
    dbusmock.get_object(path).Set(MODEM_3GPP_IFACE, 'RegistrationState', dbus.UInt32(registration_state))
