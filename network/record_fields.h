// The record's field table: which control feeds each field of a network setup file, how the
// field is written, what it holds while its feature is switched off, and how a load applies it.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "network/setup_state.h"

namespace network {

inline constexpr int kRecordFields = 40;  // field 0 is the marker "E"
inline constexpr int kFilePieces = 41;    // the fields and the empty piece after the last ","

// Typing limits of the text entries: an address or name, a ratio or scaler, the threshold.
inline constexpr int kAddressLimit = 31;
inline constexpr int kNumberLimit = 3;
inline constexpr int kThresholdLimit = 4;

enum class FieldKind { kCheck, kList, kText, kDay };

struct FieldDef {
  int index;
  const char* control;
  const char* label;  // how the window labels the control
  FieldKind kind;
  bool SetupState::*check = nullptr;
  int SetupState::*list = nullptr;
  int list_items = 0;
  std::string SetupState::*text = nullptr;
  int max_length = 0;  // a text entry's typing limit, in the runtime's characters
  bool (*switched_off)(const SetupState&) = nullptr;  // the feature that empties it
  const char* off_value = "";
  bool two_digits = false;
};

// Fields 1 to 39 in file order, which is also the order a load applies them in.
const std::array<FieldDef, kRecordFields - 1>& FieldTable();
const FieldDef* FindField(std::string_view control);

// First checked day box; "7" instead when two or more of Sunday to Saturday are checked.
std::string DayField(const SetupState& s);

// The 40 fields of the record for the window's values.
std::array<std::string, kRecordFields> BuildRecord(const SetupState& s);

// Each field followed by ",", without the line end.
std::string RecordLine(const std::array<std::string, kRecordFields>& fields);

}  // namespace network
