// The messages of the simulated HID device socket, shared by dxu-sim (the server, sim/UsbSocketServer.h)
// and the engine's socket backend. A SOCK_SEQPACKET UNIX socket: one message per packet, numbers little
// endian. The first message on a connection gives it its role:
//
//   'N' vid:u16 pid:u16            count devices      -> 'n' count:u32, then the server closes
//   'L' vid:u16 pid:u16            name the devices   -> 'l' then, per device in Open's order, its serial
//                                                        number as length:u8 and text; the server closes
//   'O' index:u32 vid:u16 pid:u16  open a device      -> 'o' status:u8 token:u32; on status 0 the
//                                                        connection is the device's request channel
//   'I' token:u32                  input stream       <- 'i' report... for every input report; the server
//                                                        closes it when the device is closed or removed
//   'W'                            watch the bus      <- 'a' on an arrival, 'r' on a removal
//   'M' op:u8 device:u8            test control       -> 'm' status:u8 ('U' unplug, 'P' plug, 'A' add a
//                                                        device like the first; device counts from 0)
//
// On a request channel, each request has one reply:
//   'S' report...                  interrupt output report  -> 's' status:u8
//   'T' report...                  control output report    -> 't' status:u8
//   'G' length:u8 id:u8            control input report     -> 'g' status:u8 buffer[length] (id first)
// Closing the request channel closes the device. Statuses are the HID library's (kHid... values).
#pragma once

#include <cstddef>
#include <cstdint>

namespace HidSocket {
constexpr char kCount = 'N';
constexpr char kCountReply = 'n';
constexpr char kNames = 'L';
constexpr char kNamesReply = 'l';
constexpr char kOpen = 'O';
constexpr char kOpenReply = 'o';
constexpr char kInput = 'I';
constexpr char kInputReport = 'i';
constexpr char kWatch = 'W';
constexpr char kArrived = 'a';
constexpr char kRemoved = 'r';
constexpr char kControl = 'M';
constexpr char kControlReply = 'm';
constexpr char kUnplug = 'U';
constexpr char kPlug = 'P';
constexpr char kAddDevice = 'A';
constexpr char kSetOutput = 'S';
constexpr char kSetOutputReply = 's';
constexpr char kSetControl = 'T';
constexpr char kSetControlReply = 't';
constexpr char kGetControl = 'G';
constexpr char kGetControlReply = 'g';
constexpr size_t kMaxMessage = 8192 + 8;

inline void PutU16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline uint16_t GetU16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
inline uint32_t GetU32(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}
} // namespace HidSocket
