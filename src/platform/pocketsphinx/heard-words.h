// The words of the decoder's best path that are worth writing down: speech,
// not the decoder's fillers, and not a steady sound it had to call a word.
//
// Steady noise (hiss, rumble, a fan) at the start of a segment trips the
// decoder's speech detection before its noise floor has adapted, and its
// search then has to end in some word: pink noise becomes "thigh" or "if",
// white noise "ah". The word's own posterior does not tell (in a lattice
// with one path it is 1.0, while read speech has words below 0.1), nor does
// the language model's filler penalty (noise still beats the noise model).
// What tells is the engine's alignment: the decoder holds such a word for
// close to a second on one or two phones, 0.4 to 0.7 s per phone, and it is
// the segment's only word; in read and spoken-digit speech no word averages
// more than a third of a second per phone, and a word said on its own is
// shorter still. A word held for longer than kMostFramesPerPhone on each of
// its phones on average is dropped, and so is a segment's only word held
// for longer than kMostFramesPerPhoneAlone.
//
// Mid-segment the noise's word is still growing and its length tells
// nothing yet: live text holds back the word a hypothesis ends in
// (stable-words.h), so a lone noise word never shows before this judges it.
#pragma once

#include "platform/pocketsphinx/stable-words.h"

struct ps_decoder_s;

namespace platform::pocketsphinx {

// Frames of 10 ms, the decoder's default frame rate, which the tool keeps.
inline constexpr double kMostFramesPerPhone = 40;
inline constexpr double kMostFramesPerPhoneAlone = 30;

// The words of the best path now: mid-segment the decoder's current guess,
// after ps_end_utt the final one. Alternative pronunciations ("our(2)")
// come back as the word itself.
Words heardWords(ps_decoder_s* decoder);

}  // namespace platform::pocketsphinx
