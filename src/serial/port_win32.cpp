// The COM port on Windows, through the serial communications API. The handle
// is synchronous; the driver keeps the total read and write time-outs that
// port.h computes (COMMTIMEOUTS), and drops received NUL bytes (fNull). A read
// that may wait longer than interrupt_slice_ms is made of reads of one slice
// each, to the same total deadline, so the interrupt key is noticed in time.

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "core/interrupt.h"
#include "serial/port.h"
#include "serial/port_common.h"

namespace zuv {

namespace {

// The byte length the driver is first asked with; it answers with the length
// it wants.
constexpr WORD first_properties_length = 62;

constexpr DWORD needed_settable_params = SP_PARITY | SP_BAUD | SP_DATABITS | SP_STOPBITS;
constexpr WORD needed_settable_data = DATABITS_8;
constexpr WORD needed_stop_parity = STOPBITS_10 | PARITY_NONE;
constexpr DWORD needed_timeouts = PCF_TOTALTIMEOUTS | PCF_INTTIMEOUTS;
static_assert(needed_settable_params == 0x0F);
static_assert(needed_settable_data == 0x0008);
static_assert(needed_stop_parity == 0x0101);
static_assert(needed_timeouts == 0xC0);
static_assert((PURGE_TXCLEAR | PURGE_RXCLEAR) == 12);

constexpr std::size_t device_path_size = 20;

HANDLE port_handle(const port_state& st) { return reinterpret_cast<HANDLE>(st.port.handle); }

void release_port(port_state& st) {
    CloseHandle(port_handle(st));
    st.port.handle = no_port_handle;
    st.port.rate = 0;
}

struct free_block {
    void operator()(COMMPROP* p) const { std::free(p); }
};
using properties_block = std::unique_ptr<COMMPROP, free_block>;

// A zeroed properties block of at least length bytes. GetCommProperties
// always fills a whole COMMPROP, whatever length the driver reports (Wine
// reports 1, and 62 is itself short of the padded structure), so the block is
// never smaller than that.
properties_block new_properties_block(WORD length) {
    const std::size_t bytes = std::max<std::size_t>(length, sizeof(COMMPROP));
    properties_block block(static_cast<COMMPROP*>(std::calloc(1, bytes)));
    if (block) block->wPacketLength = static_cast<WORD>(std::min<std::size_t>(bytes, 0xFFFF));
    return block;
}

int report_alloc_failure(port_state& st, const char* port, int code) {
    st.out.print("\a\aError: could not malloc comm properties buffer for port %s: %s\n", port, last_error_text(st));
    return code;
}

int report_properties_failure(port_state& st, const char* port, int code) {
    st.out.print("\a\aError: could not get comm properties for port %s: %s\n", port, last_error_text(st));
    return code;
}

// Learns the length of the driver's properties, then reads them whole into
// props; 0, or -3 to -6 after the message.
int query_properties(port_state& st, const char* port, properties_block& props) {
    const HANDLE h = port_handle(st);
    properties_block first = new_properties_block(first_properties_length);
    if (!first) return report_alloc_failure(st, port, -3);
    if (!GetCommProperties(h, first.get())) return report_properties_failure(st, port, -4);
    const WORD wanted = first->wPacketLength;
    first.reset();

    props = new_properties_block(wanted);
    if (!props) return report_alloc_failure(st, port, -5);
    props->dwProvSpec1 = COMMPROP_INITIALIZED;
    if (!GetCommProperties(h, props.get())) return report_properties_failure(st, port, -6);
    return 0;
}

// 8N1 with settable time-outs; 0, or -7 to -11 after the message.
int check_properties(port_state& st, const char* port, const COMMPROP& p) {
    if ((p.dwSettableParams & needed_settable_params) != needed_settable_params) {
        st.out.print("\a\aError: required comm properties for port %s not settable: Settable Params 0x%08x\n", port,
                     static_cast<unsigned>(p.dwSettableParams));
        return -7;
    }
    if ((p.wSettableData & needed_settable_data) != needed_settable_data) {
        st.out.print("\a\aError: 8 data bits comm properties for port %s not settable: Settable Data 0x%04x\n", port,
                     static_cast<unsigned>(p.wSettableData));
        return -9;
    }
    if ((p.wSettableStopParity & needed_stop_parity) != needed_stop_parity) {
        st.out.print(
            "\a\aError: 1 stop bit, no parity comm properties for port %s not settable: Settable Stop & Parity "
            "0x%04x\n",
            port, static_cast<unsigned>(p.wSettableStopParity));
        return -10;
    }
    if ((p.dwProvCapabilities & needed_timeouts) != needed_timeouts) {
        st.out.print("\a\aError: timeouts comm properties for port %s not settable: Settable Prov Cap 0x%08x\n", port,
                     static_cast<unsigned>(p.dwProvCapabilities));
        return -11;
    }
    return 0;
}

// 8N1 at rate, no flow control of either kind, DTR and RTS held off, NUL
// bytes dropped; every other field stays as the driver reported it.
void set_link_fields(DCB& dcb, long rate) {
    dcb.BaudRate = static_cast<DWORD>(rate);
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fParity = 0;
    dcb.fOutxCtsFlow = 0;
    dcb.fOutxDsrFlow = 0;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fOutX = 0;
    dcb.fInX = 0;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    dcb.fNull = 1;
}

COMMTIMEOUTS comm_timeouts(const port_timeouts& t) {
    COMMTIMEOUTS ct{};
    ct.ReadIntervalTimeout = t.read_interval;
    ct.ReadTotalTimeoutMultiplier = t.read_multiplier;
    ct.ReadTotalTimeoutConstant = t.read_constant;
    ct.WriteTotalTimeoutMultiplier = t.write_multiplier;
    ct.WriteTotalTimeoutConstant = t.write_constant;
    return ct;
}

bool apply_timeouts(port_state& st, const port_timeouts& t) {
    COMMTIMEOUTS ct = comm_timeouts(t);
    return SetCommTimeouts(port_handle(st), &ct) != 0;
}

// One ReadFile of up to size bytes under the time-outs t; the bytes read.
int read_once(port_state& st, const char* port, std::uint8_t* buf, int size, const port_timeouts& t) {
    if (!apply_timeouts(st, t)) fatal_timeouts(st, port);
    DWORD got = 0;
    if (!ReadFile(port_handle(st), buf, static_cast<DWORD>(size), &got, nullptr)) fatal_read(st, port);
    return static_cast<int>(got);
}

// A long read as reads of at most one slice each, until size bytes came or
// the total time-out ran out.
int read_in_slices(port_state& st, const char* port, std::uint8_t* buf, int size, std::uint64_t total_ms) {
    using clock_type = std::chrono::steady_clock;
    const auto deadline = clock_type::now() + std::chrono::milliseconds(total_ms);
    port_timeouts slice = st.port.timeouts;
    slice.read_interval = 0;
    slice.read_multiplier = 0;
    int got = 0;
    while (got < size) {
        throw_if_interrupted();
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - clock_type::now()).count();
        if (left <= 0) break;
        slice.read_constant = static_cast<std::uint32_t>(std::min<long long>(left, interrupt_slice_ms));
        got += read_once(st, port, buf + got, size - got, slice);
    }
    return got;
}

// Bytes the driver still holds for sending, or -1 when it cannot say.
long output_queued(HANDLE h) {
    DWORD errors = 0;
    COMSTAT stat{};
    if (!ClearCommError(h, &errors, &stat)) return -1;
    return static_cast<long>(stat.cbOutQue);
}

}  // namespace

int last_error_code() { return static_cast<int>(GetLastError()); }

const char* last_error_text(port_state& st) {
    const DWORD code = GetLastError();
    char* text = st.port.error_text;
    const DWORD len = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0x400,
                                     text, static_cast<DWORD>(sizeof st.port.error_text), nullptr);
    text[len] = '\0';  // at most the buffer's size less one; 0 when the code has no text
    // The system's texts end in CR LF; only the line feed goes.
    if (len > 0) text[len - 1] = '\0';
    // The caller's fatal_exit still reports the code that caused the text.
    SetLastError(code);
    return text;
}

int open_port(port_state& st, const char* port, long rate) {
    if (!open_port_args_ok(st, port)) return -1;
    if (st.port.is_open()) close_port(st);
    char path[device_path_size];
    // The device namespace reaches COM10 and above as well.
    std::snprintf(path, sizeof path, "\\\\.\\%s", port);
    const HANDLE h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        trace_open(st, port, rate, -2, last_error_text(st));
        report_open_failure(st, port);
        return -2;
    }
    st.port.handle = reinterpret_cast<std::intptr_t>(h);
    if (set_comm_prop(st, port, rate) != 0) {
        // Even after an argument failure no port is left open by a failed open.
        if (st.port.is_open()) release_port(st);
        trace_open(st, port, rate, -3);
        return -3;
    }
    st.port.timeouts = standing_timeouts(st.port.rate);
    if (!apply_timeouts(st, st.port.timeouts)) {
        trace_open(st, port, rate, -14, last_error_text(st));
        report_timeouts_failure(st, port);
        release_port(st);
        return -14;
    }
    // A fresh handle has no output of its own; clearing that side would throw
    // away what the previous handle wrote and the driver has not sent yet.
    PurgeComm(h, PURGE_RXCLEAR);
    trace_open(st, port, st.port.rate, 0);
    return 0;
}

int set_comm_prop(port_state& st, const char* port, long rate) {
    long table_rate = 0;
    if (const int bad = set_comm_prop_args(st, port, rate, table_rate); bad != 0) return bad;
    properties_block props;
    int result = query_properties(st, port, props);
    if (result == 0) result = check_properties(st, port, *props);
    props.reset();
    if (result != 0) {
        release_port(st);
        return result;
    }
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(port_handle(st), &dcb)) {
        report_get_state_failure(st, port);
        release_port(st);
        return -12;
    }
    set_link_fields(dcb, table_rate);
    if (!SetCommState(port_handle(st), &dcb)) {
        report_set_state_failure(st, port);
        release_port(st);
        return -13;
    }
    st.port.rate = table_rate;
    return 0;
}

int read_port(port_state& st, const char* port, std::uint8_t* buf, int size, int timeout_ms) {
    check_read_args(st, port, buf, size);
    throw_if_interrupted();
    const port_timeouts t = read_timeouts(st.port.timeouts, timeout_ms);
    const std::uint64_t total_ms = total_read_ms(t, size);
    // A short read goes to the driver as it is, with its own time-outs.
    const int got = total_ms <= static_cast<std::uint64_t>(interrupt_slice_ms) ? read_once(st, port, buf, size, t)
                                                                              : read_in_slices(st, port, buf, size, total_ms);
    trace_read(st, port, buf, got, size, timeout_ms);
    return got;
}

int write_port(port_state& st, const char* port, const std::uint8_t* buf, int len) {
    if (const int bad = write_port_args(st, port, buf, len); bad != 0) return bad;
    // Nothing more goes to the device once the key was pressed.
    throw_if_interrupted();
    DWORD written = 0;
    if (!WriteFile(port_handle(st), buf, static_cast<DWORD>(len), &written, nullptr)) {
        trace_write(st, port, buf, static_cast<int>(written), len, -3, last_error_text(st));
        return report_write_failure(st, static_cast<int>(written), len, port);
    }
    trace_write(st, port, buf, static_cast<int>(written), len, len);
    // A write the write time-out cut short still counts as done.
    return len;
}

void purge_port(port_state& st) {
    if (!st.port.is_open()) return;
    PurgeComm(port_handle(st), PURGE_TXCLEAR | PURGE_RXCLEAR);
    trace_purge(st);
}

void purge_input(port_state& st) {
    if (!st.port.is_open()) return;
    PurgeComm(port_handle(st), PURGE_RXCLEAR);
    trace_purge_input(st);
}

void drain_port(port_state& st) {
    if (!st.port.is_open()) return;
    const HANDLE h = port_handle(st);
    // FlushFileBuffers has no time-out of its own, so it is called only once
    // the driver's queue has emptied within the limit; a line that never
    // empties, or a driver that cannot tell its queue, must not hang the
    // utility.
    const ULONGLONG deadline = GetTickCount64() + drain_limit_ms;
    for (;;) {
        throw_if_interrupted();
        const long queued = output_queued(h);
        if (queued < 0) return;
        if (queued == 0) break;
        if (GetTickCount64() >= deadline) return;
        Sleep(1);
    }
    FlushFileBuffers(h);
}

void close_port(port_state& st) {
    if (!st.port.is_open()) return;
    release_port(st);
    trace_close(st);
}

}  // namespace zuv
