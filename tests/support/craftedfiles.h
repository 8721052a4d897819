// Picture files made to cost more memory than they look: headers that tell
// a small picture or none, pictures whose decoding holds more than their
// pixels, and small pictures before a long tail. Each builder takes the
// sizes, so a test makes them as large as it can bear; what matters is what
// they cost a pixel or a byte.
#pragma once

#include <cstdint>
#include <vector>

// A GIF of a screenWidth x screenHeight screen whose first and only frame is
// frameWidth x frameHeight (larger or smaller, the screen's for 0) at (0, 0),
// its pixels cut short (the reader leaves the rest at colour 0), with
// comments comment extensions of blocks sub-blocks of one byte each in front.
std::vector<uint8_t> CraftedGif(int screenWidth, int screenHeight, int frameWidth, int frameHeight,
                                int comments = 0, int blocks = 0);
// A GIF of a 1 x 1 screen and frame (white) whose image data goes on past
// its pixel without an end code: the next sub-block, 0x2C bytes long, holds
// the descriptor and data of a width x height frame.
std::vector<uint8_t> CraftedGifHiddenFrame(int width, int height);

// The kind of JPEG data CraftedJpeg writes.
enum class TJpegCraft {
  Baseline,     // one scan of YCbCr 4:2:0
  Progressive,  // the same in progressive scans
  Cmyk,         // one scan of four components at full resolution
  ProgressiveCmyk,
  Grey,
  ProgressiveGrey,
  Progressive444,  // YCbCr at full resolution in progressive scans
  ScanPerComponent,  // YCbCr 4:2:0 in one sequential scan per component
};
// A width x height JPEG of the kind, of smooth stripes (so the file stays
// small), made by libjpeg (progressive scans: libjpeg's own progression),
// coded by Huffman or arithmetically.
std::vector<uint8_t> CraftedJpeg(int width, int height, TJpegCraft kind, bool arithmetic = false);
// A width x height arithmetic-coded JPEG of the kind (Baseline, Cmyk,
// ScanPerComponent, ProgressiveGrey: a DC scan, one of the whole AC band)
// whose data holds its first mcus MCUs, all 63 AC coefficients at value, then
// zeroBytes zero bytes; on zero bits the statistics they trained decode more
// such blocks, to the end for 32 MCUs of 2048 (Baseline) or 16384 (others).
std::vector<uint8_t> CraftedTrainedJpeg(int width, int height, TJpegCraft kind, int value, int mcus,
                                        int zeroBytes = 0);
// The JPEG with stray bytes between the markers before its frame header
// (which the decoder passes over with a warning).
std::vector<uint8_t> WithStrayBytesBeforeFrame(std::vector<uint8_t> jpeg, int count = 1);
// The JPEG with count comment segments after its start marker.
std::vector<uint8_t> WithComments(std::vector<uint8_t> jpeg, int count);

// A PNG of width x height grey pixels, all 0, deflated, with textChunks
// zTXt chunks before its image data that each inflate to textBytes blanks.
std::vector<uint8_t> CraftedPng(int width, int height, int textChunks = 0, int64_t textBytes = 0);
// The same PNG (without text) with count chunks of the kind, each holding
// data, before its image data.
std::vector<uint8_t> CraftedPngPile(int width, int height, const char* kind, const std::vector<uint8_t>& data,
                                    int count);
// The data of a zTXt chunk whose text inflates to textBytes blanks; with
// spoiled set, its deflated stream's check fails once it has all inflated.
std::vector<uint8_t> CraftedZtxtData(int64_t textBytes, bool spoiled = false);
// An entry of CraftedIcon: the image data (a DIB or a PNG file) and the
// size its directory lists (1 to 256).
struct TCraftedIconEntry {
  std::vector<uint8_t> Image;
  int ListedWidth = 32, ListedHeight = 32;
};
std::vector<uint8_t> CraftedIcon(const std::vector<TCraftedIconEntry>& entries);
// The DIB of an icon entry: width x height pixels at bits (1, 4, 8, 24 or
// 32) per pixel, all 0, with its AND mask.
std::vector<uint8_t> CraftedIconDib(int width, int height, int bits);

// A BMP file of width x height pixels at bits (1, 4, 8, 16, 24 or 32) per
// pixel, all 0.
std::vector<uint8_t> CraftedBmp(int width, int height, int bits);

// An RLE8 BMP of width x height pixels, all 0, in 1080 bytes: its data ends
// at once.
std::vector<uint8_t> CraftedRleBmp(int width, int height);

// The file with count zero bytes behind it.
std::vector<uint8_t> WithTail(std::vector<uint8_t> file, int64_t count);
