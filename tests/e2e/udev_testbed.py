#!/usr/bin/python3
"""The cable found through udev: verno-update under an umockdev test bed.

Run under umockdev-wrapper. The test bed describes USB serial converters and their tty nodes;
each node is a pseudo-terminal whose other end this script bridges to a verno-dcsim, so the
program meets a simulated dive computer behind a device that Qt Serial Port enumerates through
libudev, as on a real desk.

  udev_testbed.py BUNDLE   (the build's bin/: verno-update, verno-dcsim, verno-fwr, data)
"""

import json
import os
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import tty
import unittest

import gi

gi.require_version('UMockdev', '1.0')
from gi.repository import UMockdev  # noqa: E402

BUNDLE = ''
CABLE = 'f460'
OTHER_FTDI = '6001'


def usb_serial(bus, tty_number, product, serial):
    """An FTDI converter on its own USB bus, as udev describes one: the USB device, its
    interface, the usb-serial port and the tty below it. Also the sysfs paths that unplug it."""
    root = f'/devices/pci0000:00/0000:00:14.0/usb{bus}/{bus}-1'
    name = f'ttyUSB{tty_number}'
    return f"""P: {root}
E: SUBSYSTEM=usb
E: DEVTYPE=usb_device
E: ID_VENDOR_ID=0403
E: ID_MODEL_ID={product}
E: ID_SERIAL_SHORT={serial}
A: idVendor=0403
A: idProduct={product}
A: serial={serial}

P: {root}/{bus}-1:1.0
E: SUBSYSTEM=usb
E: DEVTYPE=usb_interface
E: DRIVER=ftdi_sio

P: {root}/{bus}-1:1.0/{name}
E: SUBSYSTEM=usb-serial
E: DRIVER=ftdi_sio

P: {root}/{bus}-1:1.0/{name}/tty/{name}
N: {name}
E: SUBSYSTEM=tty
E: DEVNAME=/dev/{name}
E: ID_BUS=usb
E: ID_VENDOR_ID=0403
E: ID_MODEL_ID={product}
E: ID_SERIAL_SHORT={serial}
E: ID_VENDOR=FTDI
E: ID_MODEL=USB_Serial
A: dev=188:{tty_number}

""", [f'/sys{root}/{bus}-1:1.0/{name}/tty/{name}', f'/sys{root}']


class Bridge:
    """Copies bytes both ways between a test-bed tty's far end and a simulated DC's pty."""

    def __init__(self, cable_fd, dc_pty):
        self.cable_fd = cable_fd
        self.dc_fd = os.open(dc_pty, os.O_RDWR | os.O_NOCTTY)
        tty.setraw(self.dc_fd)
        self.running = True
        self.thread = threading.Thread(target=self.run, daemon=True)
        self.thread.start()

    def run(self):
        peers = {self.cable_fd: self.dc_fd, self.dc_fd: self.cable_fd}
        while self.running:
            try:
                ready, _, _ = select.select(list(peers), [], [], 0.05)
                for fd in ready:
                    data = os.read(fd, 4096)
                    if data:
                        os.write(peers[fd], data)
            except OSError:
                time.sleep(0.01)  # the program's end closed: nothing to carry until it opens again

    def stop(self):
        self.running = False
        self.thread.join()
        os.close(self.dc_fd)


class UdevTestbed(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix='verno-udev-')
        self.bundle = os.path.join(self.work, 'bundle')
        os.mkdir(self.bundle)
        for name in ('verno-update', 'FirmwareUpdate.lng'):
            shutil.copy(os.path.join(BUNDLE, name), self.bundle)
        # A firmware file of twenty blocks: the upload lasts about a second.
        subprocess.run([os.path.join(BUNDLE, 'verno-fwr'), 'demo', '--layout', 'area1', '--area1-blocks', '20',
                        os.path.join(self.bundle, 'VERNO.1B.FWR')], check=True, stdout=subprocess.DEVNULL)
        self.testbed = UMockdev.Testbed.new()
        self.environment = dict(os.environ, UMOCKDEV_DIR=self.testbed.get_root_dir())
        # The simulated DC runs outside the test bed: its own pty is a real one.
        self.plain_environment = {k: v for k, v in os.environ.items() if k not in ('LD_PRELOAD', 'UMOCKDEV_DIR')}
        self.dcs = []
        self.bridges = []

    def tearDown(self):
        for bridge in self.bridges:
            bridge.stop()
        for dc in self.dcs:
            dc.terminate()
            dc.wait()
        del self.testbed  # closes the far ends it still holds, before another test opens any
        shutil.rmtree(self.work, ignore_errors=True)

    def plug(self, bus, tty_number, product, serial):
        description, syspaths = usb_serial(bus, tty_number, product, serial)
        self.testbed.add_from_string(description)
        return syspaths

    def unplug(self, syspaths, node):
        """Removes the devices and closes the node's far end, so that the program's reads and
        writes fail as an unplugged converter's do."""
        root = self.testbed.get_root_dir()
        pty = os.readlink(os.path.join(root, 'dev', node))
        far_end = self.testbed.get_dev_fd('/dev/' + node)
        for syspath in syspaths:
            self.testbed.remove_device(syspath)
        os.close(far_end)
        # umockdev 0.17 leaves the pty's map entry behind, and asserts when the next node gets
        # the same pty number.
        os.unlink(os.path.join(root, 'dev', '.ptymap', pty.replace('/', '_')))

    def start_dc(self, name, serial):
        link = os.path.join(self.work, name)
        dc = subprocess.Popen([os.path.join(BUNDLE, 'verno-dcsim'), '--link', link, '--serial', str(serial),
                               '--profile-start', '256', '--profile-end', '639',
                               '--firmware', os.path.join(self.bundle, 'VERNO.1B.FWR'),
                               '--memory-out', link + '.out'],
                              env=self.plain_environment, stdout=subprocess.DEVNULL)
        self.dcs.append(dc)
        for _ in range(500):
            if os.path.exists(link):
                return link
            time.sleep(0.01)
        self.fail('verno-dcsim did not start')

    def stop_dc(self, link):
        dc = self.dcs.pop(self.dcs.index(next(d for d in self.dcs if link in d.args)))
        dc.terminate()
        dc.wait()
        with open(link + '.out', 'rb') as memory:
            return memory.read()

    def bridge(self, tty_number, dc_link):
        self.bridges.append(Bridge(self.testbed.get_dev_fd(f'/dev/ttyUSB{tty_number}'), os.readlink(dc_link)))

    def update(self, *arguments, timeout=120):
        return subprocess.run([os.path.join(self.bundle, 'verno-update'), '--json', *arguments],
                              env=self.environment, capture_output=True, text=True, timeout=timeout)

    @staticmethod
    def results(run):
        lines = [json.loads(line) for line in run.stdout.splitlines() if line.startswith('{')]
        return [line for line in lines if line['type'] == 'result']

    def test_the_cable_is_found_by_its_usb_identity_and_another_converter_passed_over(self):
        self.plug(1, 0, OTHER_FTDI, 'FTOTHER1')
        self.plug(2, 1, CABLE, 'FTCABLE1')
        self.bridge(1, self.start_dc('dc', 4711))
        run = self.update('--check')
        self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
        [result] = self.results(run)
        self.assertEqual(result['port'], '/dev/ttyUSB1')
        self.assertEqual(result['serial'], '004711')

    def test_all_finds_every_cable_and_no_other_converter(self):
        self.plug(1, 0, CABLE, 'FTCABLE1')
        self.plug(2, 1, OTHER_FTDI, 'FTOTHER1')
        self.plug(3, 2, CABLE, 'FTCABLE2')
        self.bridge(0, self.start_dc('dc1', 4711))
        self.bridge(2, self.start_dc('dc2', 4712))
        run = self.update('--all', '--check')
        self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
        found = sorted((r['port'], r['cable'], r['serial']) for r in self.results(run))
        self.assertEqual(found, [('/dev/ttyUSB0', 'FTCABLE1', '004711'), ('/dev/ttyUSB2', 'FTCABLE2', '004712')])

    def test_a_cable_pulled_during_the_upload_and_back_under_another_name_is_found_again(self):
        before = self.stop_dc(self.start_dc('initial', 4711))
        first = self.plug(1, 0, CABLE, 'FTCABLE1')
        dc = self.start_dc('dc', 4711)
        self.bridge(0, dc)
        update = subprocess.Popen([os.path.join(self.bundle, 'verno-update'), '--json', '--recover', 'keep'],
                                  env=self.environment, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        lines = []
        for line in update.stdout:
            lines.append(line)
            if '"Uploading firmware' in line:
                break
        self.bridges.pop().stop()
        self.unplug(first, 'ttyUSB0')
        time.sleep(3)
        # Back on another USB port: the system names it ttyUSB3.
        self.plug(4, 3, CABLE, 'FTCABLE1')
        self.bridge(3, dc)
        out, err = update.communicate(timeout=120)
        lines.extend(out.splitlines(True))
        everything = ''.join(lines) + err
        self.assertEqual(update.returncode, 0, everything)
        rows = [json.loads(line) for line in lines if line.startswith('{')]
        events = [r['event'] for r in rows if r['type'] == 'row']
        self.assertTrue(any(e.startswith('The cable is back on /dev/ttyUSB3') for e in
                            [r['status'] for r in rows if r['type'] == 'progress']), everything)
        self.assertIn('Restoring dive computer profile', events)
        [result] = [r for r in rows if r['type'] == 'result']
        self.assertEqual(result['outcome'], 'updated', everything)
        self.assertIsNone(result['profile_kept_in'])
        self.bridges.pop().stop()
        after = self.stop_dc(dc)
        # Block 0 and the profile, units 256 to 639, as they were.
        self.assertEqual(after[:128], before[:128])
        self.assertEqual(after[16 * 256:16 * 640], before[16 * 256:16 * 640])


if __name__ == '__main__':
    BUNDLE = sys.argv.pop(1)
    signal.signal(signal.SIGPIPE, signal.SIG_DFL)
    unittest.main(verbosity=2)
