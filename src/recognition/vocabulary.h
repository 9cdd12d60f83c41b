// The vocabulary every recognition request carries, and the options of each
// request kind.
#pragma once

#include <array>
#include <string_view>

#include "platform/speech.h"

namespace zentrova {

// Names and terms the recognizer is to know even where its own vocabulary
// lacks them; the same for every language.
inline constexpr std::array<std::string_view, 24> words = {
    "Tavrin", "Mordrey", "Oskel",  "Zentrova", "Marlisk", "Tulvane",  "Grenholt", "QRV",
    "ZLM",    "Claude",  "Opus",   "Wendrel",  "Sonnet",  "Haiku",    "Vercel",   "Neon",
    "Zoho",   "peptide", "proforma", "invoice", "quote",  "partner",  "TRC20",    "USDT",
};

// The live request's options, in order: partial results on, on-device
// recognition not required, `words`, punctuation on.
void configureLiveRequest(platform::RecognitionRequest& request);

// The file request's options, in order: `words`, punctuation on; the other
// two keep the service's defaults.
void configureFileRequest(platform::RecognitionRequest& request);

}  // namespace zentrova
