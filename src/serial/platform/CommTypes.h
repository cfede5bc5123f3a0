#pragma once

// The records and codes the serial engine speaks: the 28-byte device control block and the
// event, purge, error and modem-line codes. They keep the values that stored settings and the
// port's callers already know; the terminal-device layer maps them onto termios.

#include <cstdint>

namespace keldrin::serial {

// Device control block, 28 bytes little-endian as it is stored and exchanged.
struct Dcb {
    std::uint32_t DCBlength = 28;
    std::uint32_t BaudRate = 0;
    std::uint32_t Flags = 0;
    std::uint16_t wReserved = 0;
    std::uint16_t XonLim = 0;
    std::uint16_t XoffLim = 0;
    std::uint8_t ByteSize = 0;
    std::uint8_t Parity = 0;
    std::uint8_t StopBits = 0;
    std::uint8_t XonChar = 0;
    std::uint8_t XoffChar = 0;
    std::uint8_t ErrorChar = 0;
    std::uint8_t EofChar = 0;
    std::uint8_t EvtChar = 0;
    std::uint16_t wReserved1 = 0;

    bool operator==(const Dcb& o) const;
    bool operator!=(const Dcb& o) const { return !(*this == o); }
};
static_assert(sizeof(Dcb) == 28, "the control block is a 28-byte record");

// Flag bits of Dcb::Flags.
enum : std::uint32_t {
    fBinary = 0x0001,
    fParity = 0x0002,
    fOutxCtsFlow = 0x0004,
    fOutxDsrFlow = 0x0008,
    fDtrControlEnable = 0x0010,
    fDtrControlHandshake = 0x0020,
    fDsrSensitivity = 0x0040,
    fTXContinueOnXoff = 0x0080,
    fOutX = 0x0100,
    fInX = 0x0200,
    fErrorChar = 0x0400,
    fNull = 0x0800,
    fRtsControlEnable = 0x1000,
    fRtsControlHandshake = 0x2000,
};

// Parity and stop-bit codes of the control block.
enum : std::uint8_t {
    NOPARITY = 0,
    ODDPARITY = 1,
    EVENPARITY = 2,
    MARKPARITY = 3,
    SPACEPARITY = 4
};
enum : std::uint8_t { ONESTOPBIT = 0, ONE5STOPBITS = 1, TWOSTOPBITS = 2 };

// Line events.
enum : std::uint32_t {
    EV_RXCHAR = 0x0001,
    EV_CTS = 0x0008,
    EV_DSR = 0x0010,
    EV_RLSD = 0x0020,
    EV_ERR = 0x0080,
    EV_RING = 0x0100,
};
constexpr std::uint32_t kCommEventMask = 0x01B9;  // every event above

// Purge flags.
enum : unsigned {
    PURGE_TXABORT = 0x1,
    PURGE_RXABORT = 0x2,
    PURGE_TXCLEAR = 0x4,
    PURGE_RXCLEAR = 0x8
};

// Line-error bits.
enum : std::uint32_t {
    CE_RXOVER = 0x0001,
    CE_OVERRUN = 0x0002,
    CE_RXPARITY = 0x0004,
    CE_FRAME = 0x0008,
    CE_BREAK = 0x0010,
};

// Modem-line functions.
enum : unsigned { SETRTS = 3, CLRRTS = 4, SETDTR = 5, CLRDTR = 6 };

}  // namespace keldrin::serial
