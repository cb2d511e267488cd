# Sourced by the scripts that start the program against a given device.
# stored_port_ini DEVICE prints the settings-file sections that lead COM16 to
# DEVICE and store COM16 at 9600 Bps, 8 bits, no parity as the serial
# settings, so that start-up opens it without a port search.
stored_port_ini() {
  cat <<INI
[ComPorts]
COM16=$1

[State1]
COMPORT_PORTNO=16
COMPORT_BAUDRATE=9600
COMPORT_PARITY=0
COMPORT_DATABITS=8
COMPORT_STOPBITS=1
INI
}
