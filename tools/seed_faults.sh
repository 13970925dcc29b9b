#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Seeds faults into src/ one at a time, rebuilds, runs ctest and restores the
# source: every fault that changes what the tool does on some input should
# make ctest fail. A developer's tool for judging the test suite; it rebuilds
# once per fault, so it is not part of the suite or of CI.
#
#   tools/seed_faults.sh [-n] [-b BUILD_DIR] [FAULT_NUMBER...]
#
# -n only lists the faults and whether their text is found.
# BUILD_DIR defaults to build-faults (configured here when missing); give a
# folder configured with -DREELPORT_SANITIZE=ON to judge the sanitizer build.
# A fault whose text is not found exactly once (the sources moved on) is
# reported as not applicable, one that does not compile as such. The result
# is printed and kept in BUILD_DIR/seed-faults.txt.
set -u
cd "$(dirname "$0")/.."

build=build-faults; dry=0
if [ "${1:-}" = "-n" ]; then dry=1; shift; fi
if [ "${1:-}" = "-b" ]; then build=$2; shift 2; fi
wanted=" $* "

# Each fault: "@ FILE | what goes wrong", then the text to find ("- " lines)
# and the text put in its place ("+ " lines; a bare "+" puts nothing).
faults=$(cat <<'EOF'
@ src/PalmDB.cpp | header check lets a 79-byte file through
- if (fileLength < kHeaderSize) fatalCheck
+ if (fileLength + 1 < kHeaderSize) fatalCheck
@ src/PalmDB.cpp | chained record lists are not refused
- if (header_.nextRecordListId != 0) fatalCheck("Cannot parse chained record lists");
+
@ src/PalmDB.cpp | record list ending at the end of the file is refused (< made <=)
- if (fileLength - position < kEntrySize)
+ if (fileLength - position <= kEntrySize)
@ src/PalmDB.cpp | attributes taken from the wrong byte of the entry
- entry.attributes = bytes[4];
+ entry.attributes = bytes[5];
@ src/PalmDB.cpp | appinfo right behind the list refused (> made >=)
- if (position > header_.appInfoOffset)
+ if (position >= header_.appInfoOffset)
@ src/PalmDB.cpp | sortinfo before the appinfo not reported as such
- if (endsAtSortInfo) fatalCheck("missed sortinfo position");
+
@ src/PalmDB.cpp | first record inside the appinfo not reported as such
- if (recordCount > 0) fatalCheck("missed first record position");
-             fatalCheck("short appinfo read");
+ fatalCheck("short appinfo read");
@ src/PalmDB.cpp | appinfo past the end of the file not refused
- if (!block) fatalCheck("short appinfo read");
+
@ src/PalmDB.cpp | sortinfo right behind the appinfo refused (> made >=)
- if (position > header_.sortInfoOffset)
+ if (position >= header_.sortInfoOffset)
@ src/PalmDB.cpp | first record inside the sortinfo not reported as such
- if (recordCount > 0) fatalCheck("missed first record position");
-             fatalCheck("short sortinfo read");
+ fatalCheck("short sortinfo read");
@ src/PalmDB.cpp | sortinfo past the end of the file not refused
- if (!block) fatalCheck("short sortinfo read");
+
@ src/PalmDB.cpp | first record position compared unsigned
- if (static_cast<std::int32_t>(static_cast<std::uint32_t>(position)) >
-         static_cast<std::int32_t>(static_cast<std::uint32_t>(recordsStart))) {
+ if (position > recordsStart) {
@ src/PalmDB.cpp | record starting before the previous one not reported as such
- if (!last) fatalCheck("record position mismatch");
+
@ src/PalmDB.cpp | last record loses its last byte
- const std::uint64_t end = last ? fileLength : entries_[i + 1].offset;
+ const std::uint64_t end = last ? fileLength - 1 : entries_[i + 1].offset;
@ src/PalmDB.cpp | record in the middle running past the end not refused
- if (!data) fatalCheck("short data read");
+
@ src/PalmDB.cpp | a block or record may run one byte past the end of the file
- if (end > file.size()) return std::nullopt;
+ if (end > file.size() + 1) return std::nullopt;
@ src/PalmDB.h | category index takes five bits
- return attributes & 0x0Fu;
+ return attributes & 0x1Fu;
@ src/Files.cpp | upper case letters folded to the wrong lower case
- static_cast<char>(c - 'A' + 'a')
+ static_cast<char>(c - 'A' + 'b')
@ src/Files.cpp | the last of several case variants is used
- (!best || name < *best)
+ (!best || name > *best)
@ src/Files.cpp | no case variant looked for when the file is missing
- if (error == ENOENT) {
+ if (error != ENOENT) {
@ src/Files.cpp | a directory in place of a database is read as empty
- if (S_ISDIR(info.st_mode)) fileFailure(path, EISDIR);
+
@ src/Files.cpp | an older CSV file is appended to, not replaced
- std::fopen(path.c_str(), "wb")
+ std::fopen(path.c_str(), "ab")
@ src/CsvWriter.cpp | line break written as LF alone
- put("\r\n");
+ put("\n");
@ src/CsvWriter.cpp | text split across blocks loses the part that fitted
- used_ += free;
+
@ src/CsvWriter.cpp | write errors ignored
- std::fwrite(buffer_.data(), 1, size, file_.get()) != size
+ std::fwrite(buffer_.data(), 1, size, file_.get()) > size
@ src/CsvWriter.cpp | CSV file cut short by a failure loses its last rows
- (void)std::fwrite(buffer_.data(), 1, used_, file_.get());
+
@ src/CsvWriter.cpp | zero padding written as blanks
- std::fill_n(at, zeros, '0');
+ std::fill_n(at, zeros, ' ');
@ src/CsvWriter.h | room check one byte short
- if (size > buffer_.size() - used_) emptyBuffer();
+ if (size > buffer_.size() - used_ + 1) emptyBuffer();
@ src/ExportFrame.cpp | a directory ending in a separator gets a second one
- if (path.empty() || path.back() != kSeparator) path += kSeparator;
+ path += kSeparator;
@ src/ExportFrame.cpp | creator message changed
- is not a valid Cinecase database.\n
+ is not a valid Cinecase database\n
@ src/ExportFrame.cpp | wrong creator not reported when the version is wrong too
- if (header.creator != kCreator) {
+ if (header.creator != kCreator && header.version == kVersion) {
@ src/ExportFrame.cpp | minor version named from three bits
- header.version & 0x0F
+ header.version & 0x07
@ src/ExportFrame.cpp | wrong type not refused
- if (header.type != kType) fatalCheck("wrong PDB type");
+
@ src/ExportFrame.cpp | double quotes inside a text not doubled
- out.write(text.substr(0, quote + 1));
-         out.write('"');
+ out.write(text.substr(0, quote + 1));
@ src/ExportFrame.cpp | field cut one byte too long
- text = text.substr(0, static_cast<std::size_t>(maxLength));
+ text = text.substr(0, static_cast<std::size_t>(maxLength) + 1);
@ src/ExportFrame.cpp | category name read past its 16-byte slot
- untilNul(slot.substr(0, kCategoryNameSize))
+ untilNul(slot.substr(0, kCategoryNameSize + 1))
@ src/ExportFrame.cpp | count right-aligned in three places
- "%4d %.*s exported to %s\n"
+ "%3d %.*s exported to %s\n"
@ src/ExportFrame.cpp | CSV file not closed before the count line
- csv.close();
+
@ src/ExportFrame.cpp | a failed write to standard output goes unnoticed
- ||
-         std::fflush(console) != 0) {
+ ) {
@ src/Failure.cpp | fatal-check line changed
- text += " (at ";
+ text += " (in ";
@ src/Failure.cpp | file error without the blank after the colon
- path + ": " +
+ path + ":" +
@ src/TapeExport.cpp | 19-byte tape record accepted
- constexpr std::size_t kMinimumSize = kLengthOffset + 2;
+ constexpr std::size_t kMinimumSize = kLengthOffset + 1;
@ src/TapeExport.cpp | low bits of the kind byte matter
- (entry.data[0] & 0xF0) != kTapeKind
+ entry.data[0] != kTapeKind
@ src/TapeExport.cpp | empty record read for its kind
- if (entry.data.empty() || (entry.data[0] & 0xF0) != kTapeKind) continue;
+ if ((entry.data[0] & 0xF0) != kTapeKind) continue;
@ src/TapeExport.cpp | tape rows not counted
- ++rows;
+
@ src/TapeExport.cpp | hours of a tape off by one second
- out.writeNumber(seconds / 3600);
+ out.writeNumber(seconds / 3601);
@ src/TapeExport.cpp | no empty line after the last tape
- out.write("\n");
-     return rows;
+ return rows;
@ src/ProgExport.cpp | seen flag read from bit 6
- kSeenFlag = 0x80;
+ kSeenFlag = 0x40;
@ src/ProgExport.cpp | speed code 3 misnamed
- "EP", "??"}
+ "EP", "XP"}
@ src/ProgExport.cpp | length in seconds kept in 16 bits
- std::uint32_t{be16(data, kLengthOffset)} * ((flags & kSpeedMask) + 1u)
+ static_cast<std::uint16_t>(be16(data, kLengthOffset) * ((flags & kSpeedMask) + 1u))
@ src/ProgExport.cpp | year counted from 1900
- (date >> 9) + 1904
+ (date >> 9) + 1900
@ src/ProgExport.cpp | month read from three bits
- date >> 5 & 0x0F
+ date >> 5 & 0x07
@ src/ProgExport.cpp | rating 1 written as none
- rating > 0 ?
+ rating > 1 ?
@ src/ProgExport.cpp | short row has one field too few
- out.write("-,,,,");
+ out.write("-,,,");
@ src/ProgExport.cpp | programmes sorted by the low 24 bits of their tape ID
- std::uint64_t{be32(data, kTapeIdOffset)} << 32
+ std::uint64_t{be32(data, kTapeIdOffset) & 0xFFFFFF} << 32
@ src/ProgExport.cpp | order key ignored in the sort
- std::uint64_t{be16(data, kOrderOffset)} << 16 | i
+ i
@ src/ProgExport.cpp | 15-byte programme record accepted
- constexpr std::size_t kMinimumSize = kDateOffset + 2;
+ constexpr std::size_t kMinimumSize = kDateOffset + 1;
@ src/ProgExport.cpp | low bits of the kind byte matter
- (data[0] & 0xF0) != kProgKind
+ data[0] != kProgKind
@ src/ProgExport.cpp | tape looked up only for the first programme
- if (tape == nullptr || tape->uniqueIdValue() != tapeId) {
+ if (tape == nullptr) {
@ src/ProgExport.cpp | tape label cut at 15 bytes
- kTapeLabelLength = 16;
+ kTapeLabelLength = 15;
@ src/ProgExport.cpp | note starts one byte late
- kTitleOffset + title.size() + 1
+ kTitleOffset + title.size() + 2
@ src/main.cpp | empty argument taken as a directory
- if (argc < 2 || argv[1][0] == '\0') {
+ if (argc < 2) {
@ src/main.cpp | usage text changed
- -h\t   gives this usage
+ -h\t  gives this usage
@ src/main.cpp | usage ends with status 0
- return reelport::kStatusRefused;
+ return reelport::kStatusSuccess;
EOF
)

if [ "$dry" = 0 ] && [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" >/dev/null || exit 1
fi
log="$build/seed-faults.log"
report="$build/seed-faults.txt"

rebuild() { cmake --build "$build" -j2 >"$log" 2>&1; }
# Prints the names of the failed tests, or nothing when all passed.
failed_tests() {
  ctest --test-dir "$build" -j2 --timeout 300 >"$log" 2>&1 && return
  local names
  names=$(sed -n '/The following tests FAILED:/,$p' "$log" | sed -n 's/^[[:space:]]*[0-9]* - \([^ ]*\) .*/\1/p')
  echo "${names:-ctest itself (see the log)}"
}

if [ "$dry" = 1 ]; then
  report=/dev/null
else
  echo "== the suite before seeding"
  if ! rebuild || [ -n "$(failed_tests)" ]; then
    echo "the unchanged sources do not build or pass; see $log"; exit 1
  fi
fi

current=""; backup=$(mktemp)
restore() { if [ -n "$current" ]; then cp "$backup" "$current"; current=""; fi; }
trap 'restore; rm -f "$backup"' EXIT
trap 'exit 130' INT TERM

caught=0; missed=0; skipped=0; number=0
: >"$report"
run_fault() {  # number, file, what, old, new
  local n=$1 file=$2 what=$3 old=$4 new=$5 result tests
  if [ ! -f "$file" ]; then
    result="not applicable (no $file)"; skipped=$((skipped + 1))
  else
    local found
    found=$(OLD="$old" perl -0777 -ne 'print scalar(() = /\Q$ENV{OLD}\E/g)' "$file")
    if [ "$found" != 1 ]; then
      result="not applicable (text found $found times)"; skipped=$((skipped + 1))
    elif [ "$dry" = 1 ]; then
      result="applicable"
    else
      cp "$file" "$backup"; current=$file
      OLD="$old" NEW="$new" perl -0777 -i -pe 's/\Q$ENV{OLD}\E/$ENV{NEW}/' "$file"
      if ! rebuild; then
        result="not applicable (does not build)"; skipped=$((skipped + 1))
      else
        tests=$(failed_tests)
        if [ -n "$tests" ]; then
          caught=$((caught + 1))
          result="CAUGHT by $(echo "$tests" | head -3 | paste -sd, -)"
          [ "$(echo "$tests" | wc -l)" -gt 3 ] && result="$result and $(($(echo "$tests" | wc -l) - 3)) more"
        else
          missed=$((missed + 1)); result="MISSED"
        fi
      fi
      restore
    fi
  fi
  printf '%3d  %-22s %s: %s\n' "$n" "$file" "$what" "$result" | tee -a "$report"
}

file=""; what=""; old=""; new=""; have_old=0; have_new=0
flush() {
  [ -z "$file" ] && return
  number=$((number + 1))
  if [ "$wanted" = "  " ] || [[ "$wanted" == *" $number "* ]]; then
    run_fault "$number" "$file" "$what" "$old" "$new"
  fi
  file=""; old=""; new=""; have_old=0; have_new=0
}
echo "== seeding faults"
while IFS= read -r line; do
  case "$line" in
    "@ "*) flush; file=${line#@ }; what=${file#* | }; file=${file%% | *} ;;
    "- "*) if [ "$have_old" = 1 ]; then old+=$'\n'; fi; old+=${line#- }; have_old=1 ;;
    "+"*) if [ "$have_new" = 1 ]; then new+=$'\n'; fi; line=${line#+}; new+=${line# }; have_new=1 ;;
  esac
done <<<"$faults"
flush

restore
[ "$dry" = 0 ] && rebuild
echo "== caught $caught, missed $missed, not applicable $skipped" | tee -a "$report"
