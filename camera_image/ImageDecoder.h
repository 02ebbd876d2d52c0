#pragma once
// The image stream's decoder: the mode-0 reader callback while the alignment view is open.
// It reassembles 19-byte image packets ('$', a type or sequence byte, 16 payload bytes, '&')
// in the receive state it shares with the raw calibration parsers, which never run at the
// same time, and draws them into the open view: grey or colour YUV 4:2:2 by the driver
// state's grey flag. A frame-start packet ('3') presents the finished picture; a line-start
// packet ('4') begins the next line up; in colour, data packets carry a sequence number in
// their low four bits, and each one missing leaves 8 columns of its line as they were.
// Reader thread only.

#include "device/CameraRecord.h"

#include <cstdint>

constexpr std::uint16_t IMAGE_PACKET_LENGTH = 19;
// Packets of one colour line, numbered 1 (the line start), 2, ..., 19, 0.
constexpr std::uint16_t IMAGE_SEQUENCE_WRAP = 20;

// Sequence number of the last packet of the current line, 0..19.
extern std::uint16_t g_nImageSeq;

// Mode-0 reader callback of the image stream; does nothing while no view is open.
void OnImageByte(CAMERA_RECORD record);
