#!/usr/bin/env python3
"""Writes the small seed inputs of each fuzz target into fuzz/corpus/<target>/.

The layouts follow the targets' FuzzInput reads: bytes, big-endian words, length-prefixed runs.
"""
import pathlib
import struct

CORPUS = pathlib.Path(__file__).resolve().parent / "corpus"


def word(value):
    return struct.pack(">H", value & 0xFFFF)


def text(units):
    """A length byte and UTF-16 code units."""
    return bytes([len(units)]) + b"".join(word(u) for u in units)


def script(chunks, parity=None, failure=None):
    """chunks: (at_ms, payload) with payload bytes (raw) or a list of words (plausible reply)."""
    out = bytes([len(chunks)])
    for at, payload in chunks:
        out += word(at)
        if isinstance(payload, list):
            out += b"\x01" + b"".join(word(w) for w in payload) + b"\x00"
        else:
            out += b"\x00" + bytes([len(payload)]) + payload
    faults = (1 if parity is not None else 0) | (2 if failure is not None else 0)
    out += bytes([faults])
    if parity is not None:
        out += word(parity)
    if failure is not None:
        out += word(failure)
    return out


def request(function_index, slave, address, count, values=()):
    out = bytes([function_index, slave]) + word(address) + word(count)
    if function_index == 3:
        out += word(len(values)) + b"".join(word(v) for v in values)
    return out


def modbus_reply_seeds():
    read = request(0, 1, 0, 7)
    return {
        "read_status": word(500) + read + b"\x00\x00" + script([(5, [0, 0, 0, 0, 5, 0x102, 0x21])]) + word(1000),
        "read_input_late": word(500) + request(1, 1, 10, 2) + b"\x00\x00" + script([(600, [1, 2])]) + word(10),
        "write_single": word(500) + request(2, 1, 5, 15) + b"\x00\x00" + script([(5, [])]) + word(0),
        "write_multi": word(500) + request(3, 1, 16, 3, [1, 2, 3]) + b"\x00\x00" + script([(5, [])]) + word(0),
        "write_multi_too_long": word(500) + request(3, 1, 0, 47, range(47)) + b"\x00\x00" + script([]) + word(0),
        "read_nested": word(500) + read + b"\x01" + request(0, 1, 10, 10) + b"\x00"
        + script([(5, [0] * 7)]) + script([(5, list(range(10)))]) + word(0),
        "stale_then_parity": word(500) + read + b"\x00\x01\x03\x01\x03\x02" + script([(5, b"\x01\x03")], parity=3) + word(0),
        "port_failure": word(500) + read + b"\x00\x00" + script([(5, b"\x01")], failure=10) + word(0),
        "exception_reply": word(200) + request(0, 1, 0, 2) + b"\x00\x00" + script([(5, bytes.fromhex("018302c0f1"))]) + word(0),
    }


def modbus_frame_seeds():
    def reply(slave, echo, first, second, count, received, fix_crc, counted):
        out = b"\x01" + bytes([slave, 1 if echo else 0]) + word(first) + word(second)
        if not echo:
            out += word(count)
        return out + bytes([len(received)]) + received + bytes([fix_crc]) + word(counted)

    def build(slave, address, second, values, kind):
        return b"\x00" + bytes([slave]) + word(address) + word(second) + word(len(values)) \
            + b"".join(word(v) for v in values) + b"\x00" + bytes([kind])

    return {
        "read_reply_good": reply(1, False, 0, 0, 1, bytes.fromhex("010302002A399B"), 0, 7),
        "read_reply_longer_than_counted": reply(1, False, 0, 0, 1, bytes.fromhex("010302002A399BFF"), 0, 7),
        "slave_and_crc_wrong": reply(1, False, 0, 0, 1, bytes.fromhex("020302002A0000"), 0, 7),
        "write_echo_wrong": reply(1, True, 5, 15, 0, bytes.fromhex("0106000500100000"), 1, 8),
        "request_read": build(1, 0, 1, [], 0),
        "request_multi_47": build(1, 0, 47, range(47), 2),
    }


def encoder_seeds():
    return {
        "text_gbk": b"\x00" + text([0x62A5, 0x8B66, 0x0041]),
        "text_invalid_surrogate": b"\x00" + text([0xD800, 0x0041, 0x0000, 0x4E2D]),
        "registers_invalid_gbk": b"\x01" + word(3) + word(0x8100) + word(0xFFFF) + word(0xD6D0),
        "command": b"\x02" + text([0x31, 0x32]) + text([0x4E2D, 0x2A]) + text([0x2A, 0x2A]),
        "phone": b"\x03" + text([0x31, 0x33, 0x30]) + text([0x61]),
        "number_box": b"\x04" + text([0x20, 0x2D, 0x31, 0x2E, 0x35]) + word(0) + word(32767),
        "version_0x8000": b"\x05" + word(0x8000) + b"\x01",
        "register_bytes": b"\x06" + word(3) + word(6) + word(1) + word(2) + word(3) + b"\x00" * 6 + word(6) + b"\x00",
    }


def gbk_registers(data, count):
    """Register words of GBK bytes, zero-padded to count registers."""
    data = data.ljust(2 * count, b"\0")
    return [data[i] << 8 | data[i + 1] for i in range(0, 2 * count, 2)]


def any_block(address, registers):
    return b"\x01" + word(address) + word(len(registers)) + b"".join(word(r) for r in registers)


def status(edition, registers):
    """The status block: the edition's first readable block (address 0)."""
    return bytes([edition]) + b"\x00" + word(0) + b"".join(word(r) for r in registers)


def readback_seeds():
    return {
        "analog_status_v2_1": status(0, [100, -5, 0, 0, 5, 0x102, 0x21]),
        "analog_status_v1_15": status(0, [0, 0, 0, 0, 0, 0, 0x1F]),
        "analog_status_0x8000": status(0, [0, 0, 0, 0, 0, 0, -0x8000]),
        "th_status_tenths": status(1, [235, -5, 0, 0, 0xFF, 0xF, 0x10]),
        "analog_open_command_gbk": b"\x00" + any_block(10, gbk_registers("12*开一".encode("gbk"), 10)),
        "analog_invalid_gbk": b"\x00" + any_block(50, [0x81FF, 0xFF00, 0x8100]),
        "analog_phone_slots": b"\x00" + any_block(710, gbk_registers(b"a", 20))
        + any_block(730, gbk_registers(b"8613800000000", 20)) + any_block(750, [0] * 20),
        "th_options_ranges": b"\x01" + any_block(1030, [6]) + any_block(1026, [2, 7]),
    }


def telnet_seeds():
    """A line (speed-1 word, parity, data bits, stop bits), purges awaited (word) and
    length-prefixed server chunks."""
    line = word(9599) + word(0) + word(3) + word(0)

    def chunks(*parts, purges=0):
        return line + word(purges) + b"".join(bytes([len(p)]) + p for p in parts)

    takes = bytes.fromhex("fffd2cfffd00fffb00")
    replies = bytes.fromhex("fffa2c6500002580fff0fffa2c6608fff0fffa2c6701fff0fffa2c6801fff0fffa2c6901fff0")
    return {
        # sredird: four zero bytes after the speed, modem state notices, the mask's answer.
        "extra_bytes": chunks(takes, bytes.fromhex("fffa2c650000258000000000fff0fffa2c6bbbfff0"),
                              replies[10:], bytes.fromhex("fffa2c6e00fff0fffa2c7003fff0")),
        "notices_between_data": chunks(bytes.fromhex("01fffa2c6b10fff002fff1fffa2c6a04fff003"),
                                       bytes.fromhex("fffa2c"), bytes.fromhex("6a08fffa07fff004")),
        "unknown_subnegotiations": chunks(bytes.fromhex("fffa1801fff0fffa2c55ffff00fff0fffb2aff"),
                                          bytes.fromhex("fa2aff00fff005")),
        "purge_acknowledged": chunks(bytes.fromhex("0102fffa2c7001fff00304"), bytes.fromhex("fffa2c70"),
                                     bytes.fromhex("03fff005"), purges=1),
        "hardware_flow": chunks(takes, replies[:-7], bytes.fromhex("fffa2c6903fff0")),
        "confirmed": chunks(takes, replies),
        "confirmed_split": chunks(takes[:4], takes[4:] + replies[:7], replies[7:]),
        "data_with_ff": chunks(bytes.fromhex("0103ffff02"), bytes.fromhex("ff"), bytes.fromhex("ff04")),
        "declined": chunks(bytes.fromhex("fffe2c")),
        "other_speed": chunks(takes, bytes.fromhex("fffa2c6500004b00fff0")),
        "offers": chunks(bytes.fromhex("fffb01fffb03fffd18fffa2c6a60fff0")),
        "sub_without_se": chunks(bytes.fromhex("fffa2c6a00fffb01"), bytes.fromhex("0102")),
    }


def write(target, seeds):
    folder = CORPUS / target
    folder.mkdir(parents=True, exist_ok=True)
    for name, data in seeds.items():
        (folder / name).write_bytes(data)


if __name__ == "__main__":
    write("modbus_reply", modbus_reply_seeds())
    write("modbus_frame", modbus_frame_seeds())
    write("encoders", encoder_seeds())
    write("readback_decoding", readback_seeds())
    write("telnet_com_port", telnet_seeds())
