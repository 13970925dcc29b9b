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
# reported as not applicable, one that does not compile as such. A fault whose
# description ends in "(performance only)" changes nothing the tool does (a
# prefetch hint): it is seeded to show the suite stays green, and left out of
# the score. A fault of the SSE2 scan ("the vector scan ...", "a vector ...")
# is not applicable to a build without it (REELPORT_SIMD=OFF). Build with
# warnings as warnings (REELPORT_WERROR off): a seeded fault may bring one.
# The result is printed and kept in BUILD_DIR/seed-faults.txt.
set -u
cd "$(dirname "$0")/.."

build=build-faults; dry=0
if [ "${1:-}" = "-n" ]; then dry=1; shift; fi
if [ "${1:-}" = "-b" ]; then build=$2; shift 2; fi
wanted=" $* "

# Each fault: "@ FILE | what goes wrong", then the text to find ("- " lines)
# and the text put in its place ("+ " lines; a bare "+" puts nothing).
faults=$(cat <<'EOF'
@ src/format/PalmDB.h | category index taken from three bits
- return attributes & 0x0Fu;
+ return attributes & 0x07u;
@ src/format/PalmDB.h | last record runs to where a next entry would point, not to the end of the file
- end = index + 1 < recordCount_ ?
+ end = index + 1 <= recordCount_ ?
@ src/format/PalmDB.cpp | header check lets a 79-byte file through
- if (fileLength < kHeaderSize) fatalCheck
+ if (fileLength + 1 < kHeaderSize) fatalCheck
@ src/format/PalmDB.cpp | chained record lists are not refused
- if (header_.nextRecordListId != 0) fatalCheck("Cannot parse chained record lists");
+
@ src/format/PalmDB.cpp | record list ending at the end of the file is refused (> made >=)
- if (listEnd > fileLength) fatalCheck
+ if (listEnd >= fileLength) fatalCheck
@ src/format/PalmDB.cpp | appinfo right behind what precedes it is refused (> made >=)
- if (position > header_.appInfoOffset)
+ if (position >= header_.appInfoOffset)
@ src/format/PalmDB.cpp | first record before the appinfo reported as a short appinfo read
- if (recordCount > 0) fatalCheck("missed first record position");
-             fatalCheck("short appinfo read");
+ fatalCheck("short appinfo read");
@ src/format/PalmDB.cpp | a block or record may run one byte past the end of the file
- if (end > file.size()) return std::nullopt;
+ if (end > file.size() + 1) return std::nullopt;
@ src/format/PalmDB.cpp | first record position compared unsigned
- if (static_cast<std::int32_t>(static_cast<std::uint32_t>(position)) >
-         static_cast<std::int32_t>(static_cast<std::uint32_t>(recordsStart))) {
+ if (position > recordsStart) {
@ src/format/PalmDB.cpp | record starting before the one ahead of it reported as a short data read
- if (!last) fatalCheck("record position mismatch");
+
@ src/format/PalmDB.cpp | record in the middle running past the end of the file not refused
- if (end != position && end > fileLength) fatalCheck("short data read");
+
@ src/format/PalmDB.cpp | salvage: a file shorter than the header is salvaged, not refused
- if (!damage.salvaging() || failure.kind() != FailureKind::Damaged || image_.size() < kHeaderSize) throw;
+ if (!damage.salvaging() || failure.kind() != FailureKind::Damaged) throw;
@ src/format/PalmDB.cpp | salvage: entries counted from byte 80, so one ending within a byte of the cut is lost
- (fileLength - kRecordListStart) / kEntrySize
+ (fileLength - kHeaderSize) / kEntrySize
@ src/format/PalmDB.cpp | salvage: entries cut off by the end of the file not counted as skipped
- damage.skipUnlisted(listed - whole);
+
@ src/format/PalmDB.cpp | salvage: a record right behind the record list is lost without a word (>= made >)
- if (offset >= listEnd && offset <= fileLength)
+ if (offset > listEnd && offset <= fileLength)
@ src/format/PalmDB.cpp | salvage: records listed out of file order are not put in file order
- std::sort(starts.begin(), starts.end());
+
@ src/format/PalmDB.cpp | salvage: a record starting past the end of the file is skipped without a word
- if (offset > fileLength) damage.skipRecord(i, uniqueIdAt(i), "starts past the end of the file");
+
@ src/catalogue/RecordFit.h | salvage: a record whose texts run past its end is not reported
- !db.salvaged() || textsEnded) return;
+ !db.salvaged() || true) return;
@ src/format/PalmDB.cpp | salvage: a category name cut by the end of the file is read in part
- held - (held - kCategoryTableStart) % kCategoryNameSize;
+ held;
@ src/format/DamageReport.cpp | findings not put in the report's order (a finding found late stays last)
- std::stable_sort(findings_.begin(), findings_.end(), byPlace);
+
@ src/format/DamageReport.cpp | a run of records named to one past its last record
- std::to_string(tail.place - 1) + " (unique IDs "
+ std::to_string(tail.place) + " (unique IDs "
@ src/format/DamageReport.cpp | a run of records named to a unique ID counted on from its first, not its last record's
- "-" + std::to_string(tail.uniqueId)
+ "-" + std::to_string(head.uniqueId + (last - first))
@ src/format/DamageReport.cpp | a run of records stops one record short
- while (last + 1 < findings_.size() &&
+ while (last + 2 < findings_.size() &&
@ src/format/DamageReport.cpp | findings of one pattern with different numbers (other missing tapes) make a run
- return other.pattern == head.pattern && other.number == head.number;
+ return other.pattern == head.pattern;
@ src/format/DamageReport.cpp | the limit counts findings, not lines
- if (++lines > kShownLines) continue;
+ lines += last - first + 1;
+         if (lines > kShownLines) continue;
@ src/format/DamageReport.cpp | skipped records not counted
- ++skipped_;
+
@ src/platform/Files.cpp | the last of several case variants is used
- && (!found || names[i] < names[*found])) found = i;
+ && (!found || names[*found] < names[i])) found = i;
@ src/platform/FilesPosix.cpp | an exact name that is a dangling link looked up in the directory listing, which prefers it as well: lstat made stat (performance only)
- if (lstat(path.c_str(), &entry) == 0
+ if (stat(path.c_str(), &entry) == 0
@ src/platform/FilesPosix.cpp | a CSV name that is a symbolic link to a database is not seen as that database (stat made lstat)
- return stat(first.c_str(), &one) == 0
+ return lstat(first.c_str(), &one) == 0
@ src/run/DirectoryPlace.cpp | a CSV name linked to the case variant of a database is not refused
- const std::string database = pathToRead(composePath(directory_, databaseName));
+ const std::string database = composePath(directory_, databaseName);
@ src/platform/FilesPosix.cpp | a named pipe in place of a database blocks the open
- open(path.c_str(), O_RDONLY | O_NONBLOCK)
+ open(path.c_str(), O_RDONLY)
@ src/platform/FilesPosix.cpp | an older CSV file is appended to, not replaced
- std::fopen(path.c_str(), "wb")
+ std::fopen(path.c_str(), "ab")
@ src/platform/Console.cpp | a failed write to standard output goes unnoticed (no flush)
- == text.size() && std::fflush(stream_) == 0) return;
+ == text.size()) return;
@ src/csv/CsvWriter.h | line end written as LF alone
- if (c == '\n') *at++ = '\r';
+
@ src/csv/Digits.h | a number that is a power of ten loses a digit (>= made >)
- estimate + (value >= kPowers[estimate])
+ estimate + (value > kPowers[estimate])
@ src/csv/Digits.h | eight-digit numbers divided by 100 a little short: 100 comes out wrong
- lanes * 10486 >> 20
+ lanes * 10485 >> 20
@ src/csv/Digits.h | eight-digit numbers: leading zeros counted from the wrong end
- const auto zeros = static_cast<unsigned>(std::countr_zero(lanes)) / 8;
+ const auto zeros = static_cast<unsigned>(std::countl_zero(lanes)) / 8;
@ src/csv/Digits.h | the number 9 written with a leading zero
- const bool oneDigit = value < 10;
+ const bool oneDigit = value < 9;
@ src/csv/CsvWriter.h | a field near the end of the buffer given no room for the row's fixed parts behind it
- * text.size() + 2 + kRowRoom > room)
+ * text.size() + 2 > room)
@ src/csv/Digits.h | a number whose leading digits come to exactly 100 reads past the digit pairs (>= made >)
- for (; value >= 100;
+ for (; value > 100;
@ src/csv/QuotedText.h | bytes 0x80, 0xA2 and 0x8A of a long text taken for NUL, quote or LF (high bit not checked)
- return ~(((x & kLow7) + kLow7) | x | kLow7);
+ return ~(((x & kLow7) + kLow7) | kLow7);
@ src/csv/QuotedText.h | the last block (vector or word) of a text may start one byte before the run copied unchanged
- if (end - run < kSize) return false;
+ if (end - run + 1 < kSize) return false;
@ src/csv/CsvWriter.h | a line break in a written text (a header line) comes out as LF alone
- if (encoding_ == CsvEncoding::Palm && text.find('\n') == std::string_view::npos) {
+ if (encoding_ == CsvEncoding::Palm) {
@ src/platform/Files.cpp | write errors of a CSV file ignored
- != bytes.size()) cannotWrite(path_, errno);
+ > bytes.size()) cannotWrite(path_, errno);
@ src/csv/CsvWriter.cpp | CSV file cut short by a failure loses its last rows
- sink_.write({buffer_, used_});
+
@ src/csv/CsvWriter.cpp | a text of 32 KiB or more loses its closing quote
- put('"');
-     if (taken != nullptr)
+ if (taken != nullptr)
@ src/csv/CsvWriter.cpp | the bytes behind the whole pages written out are dropped
- used_ -= size;
+ used_ = 0;
@ src/csv/CsvWriter.cpp | a block written out to its end, not to its last whole page (performance only)
- const std::size_t size = all ? used_ : used_ / kPage * kPage;
+ const std::size_t size = used_;
@ src/csv/CsvWriter.cpp | a category field loses its last byte to the closing quote
- prepared.resize(static_cast<std::size_t>(end - prepared.data()) + 1);
+ prepared.resize(static_cast<std::size_t>(end - prepared.data()));
@ src/catalogue/TapeRecord.h | tape label cut one byte too long
- .substr(0, kLabelSize);
+ .substr(0, kLabelSize + 1);
@ src/platform/Paths.cpp | a directory ending in a separator gets a second one
- if (directory.empty() || directoryPartLength(directory) != directory.size()) path += kSeparator;
+ path += kSeparator;
@ src/platform/Paths.cpp | a path's directory part ends at its first separator, not its last
- path.rfind(kSeparator)
+ path.find(kSeparator)
@ src/cli/CommandLine.cpp | a programme database named in another case does not stand for its folder
- || equalIgnoringAsciiCase(name, kProgsDatabase)
+ || name == kProgsDatabase
@ src/cli/CommandLine.cpp | a directory named like a database stands for its parent
- if (!database || !isRegularFile(argument)) return argument;
+ if (!database) return argument;
@ src/cli/CommandLine.cpp | a database file's bare name gives the root, not the working directory
- return length == 0 ? std::string{'.', kSeparator}
+ return length == 0 ? std::string()
@ src/platform/FilesPosix.cpp | a link to a database file does not stand for its folder (stat made lstat)
- return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
+ return lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
@ src/cli/ConsoleWindow.cpp | a run waits for Enter when its console's process count is unknown
- console.processCount == 1
+ console.processCount <= 1
@ src/cli/ConsoleWindow.cpp | a run waits for Enter with its input redirected
- && console.inputIsConsole
+
@ src/cli/ConsoleWindow.cpp | a run waits for Enter in a console without a window
- && console.hasWindow
+
@ src/catalogue/Identity.cpp | salvage ends at a database of another type
- if (!damage.salvaging()) fatalCheck("wrong PDB type");
+ fatalCheck("wrong PDB type");
@ src/format/CategoryTable.h | category name read past its 16-byte slot
- std::min(kCategoryNameSize, appInfo.size() - start)
+ std::min(kCategoryNameSize + 1, appInfo.size() - start)
@ src/run/DirectoryPlace.cpp | the tape list may replace the programme database (only the tape database checked)
- {kTapesDatabase, kProgsDatabase}
+ {kTapesDatabase}
@ src/run/Conversion.cpp | CSV file not closed before the count line
- out.close();
+
@ src/run/Conversion.cpp | salvage report counts the entries read, not the records listed
- list.listed = db.header().numRecords;
+ list.listed = db.recordCount();
@ src/catalogue/TapeRecord.h | 19-byte tape record accepted
- constexpr std::size_t kMinimumSize = kLengthOffset + 2;
+ constexpr std::size_t kMinimumSize = kLengthOffset + 1;
@ src/catalogue/RecordFit.h | low bits of the kind byte matter
- (record.data[0] & 0xF0) != kind
+ record.data[0] != kind
@ src/csv/CsvRows.h | hours of a tape off by one second
- const unsigned seconds = tape.record.lengthSeconds();
-         *at++ = ',';
-         at = digits::decimal(at, seconds / 3600);
+ const unsigned seconds = tape.record.lengthSeconds();
+         *at++ = ',';
+         at = digits::decimal(at, seconds / 3601);
@ src/catalogue/ProgRecord.h | seen flag read from bit 6
- kSeenFlag = 0x80;
+ kSeenFlag = 0x40;
@ src/catalogue/ProgRecord.h | length in seconds kept in 16 bits
- return std::uint32_t{be16(data_, kLengthOffset)} * (speedCode() + 1);
+ return static_cast<std::uint16_t>(be16(data_, kLengthOffset) * (speedCode() + 1));
@ src/catalogue/ProgRecord.h | year counted from 1900
- (date() >> 9) + 1904
+ (date() >> 9) + 1900
@ src/csv/CsvRows.h | rating 1 written as none
- rating > 0 ?
+ rating > 1 ?
@ src/csv/CsvRows.h | no rating written as 0 instead of -
- : '-');
+ : '0');
@ src/catalogue/ProgRecord.h | a programme record of exactly 18 bytes reads its title's first byte past the record
- data_.size() <= kTitleOffset ||
+ data_.size() < kTitleOffset ||
@ src/catalogue/ProgList.cpp | radix sort: the highest digit of the keys (bits 20-31 of a tape ID) not sorted
- kDigits = (64 - kSortedBits) / kDigitBits;
+ kDigits = (52 - kSortedBits) / kDigitBits;
@ src/catalogue/ProgList.cpp | radix sort: a digit that all keys share sorted all the same (performance only)
- if (count(digit, keys.front()) == keys.size()) continue;
+
@ src/catalogue/ProgList.cpp | radix sort: the place of the first key of each digit value counted from the value's own count
- start += std::exchange(next, start);
+ start += next;
@ src/catalogue/ProgList.cpp | programmes sorted by the low 24 bits of their tape ID
- std::uint64_t{ProgRecord::tapeIdOf(entry.data)} << 32
+ std::uint64_t{ProgRecord::tapeIdOf(entry.data) & 0xFFFFFF} << 32
@ src/catalogue/ProgList.cpp | the walk to a tape of wide-spread IDs passes over the matching tape (< made <=)
- while (walked_ < tapes_.size() && (tapes_[walked_] >> 16) < tapeId) ++walked_;
+ while (walked_ < tapes_.size() && (tapes_[walked_] >> 16) <= tapeId) ++walked_;
@ src/catalogue/ProgList.cpp | salvage: a tape of another kind or too short gives way to a later one of its ID
- if (slot == 0) slot = static_cast<std::uint16_t>(i + 1);
+ if (slot == 0 && fitOf(entry, 0xA0, 20) == RecordFit::Whole) slot = static_cast<std::uint16_t>(i + 1);
@ src/catalogue/ProgList.cpp | salvage: a tape whose record cannot be read gives way to a later one of its ID
- if (slot == 0) slot = static_cast<std::uint16_t>(i + 1);
+ if (slot == 0 && !entry.skipped) slot = static_cast<std::uint16_t>(i + 1);
@ src/catalogue/ProgList.h | salvage: a tape whose record cannot be read is not reported missing
- tapeFound = listed && !tapesDb.skipped(tape);
+ tapeFound = listed;
@ src/catalogue/ProgList.cpp | the slot of a label shorter than 16 bytes not filled up with NUL
- std::fill(std::copy(label.begin(), label.end(), slot), slot + kSlot, '\0');
+ std::copy(label.begin(), label.end(), slot);
@ src/catalogue/ProgList.h | salvage: a programme whose tape is missing gets the label of the tape before it
- label = listed ?
+ if (tapeFound) label = listed ?
@ src/catalogue/ProgList.h | a record's data prefetched by a key one past the last (< made <=)
- if (at + kAhead < keys.size())
+ if (at + kAhead <= keys.size())
@ src/catalogue/ProgList.h | prefetch hint dropped (performance only)
- __builtin_prefetch(address);
+ (void)address;
@ src/catalogue/ProgList.h | prefetching one row ahead instead of sixteen (performance only)
- kAhead = 16;
+ kAhead = 1;
@ src/base/Failure.cpp | fatal-check line changed
- text += " (at ";
+ text += " (in ";
@ src/base/Failure.cpp | source file named with its last slash
- path.substr(slash + 1)
+ path.substr(slash)
@ src/base/Failure.cpp | the fatal check's condition not passed on to a salvage report
- throw Failure(FailureKind::Damaged, std::move(text), {}, 0, condition);
+ throw Failure(FailureKind::Damaged, std::move(text));
@ src/cli/main.cpp | usage ends with status 0
- output.write(kUsage);
-         ending.status = kStatusRefused;
+ output.write(kUsage);
@ src/cli/CommandLine.cpp | an empty directory after the options taken for a directory
- if (argument == arguments.end() || argument->empty())
+ if (argument == arguments.end())
@ src/cli/CommandLine.cpp | -- does not end the options: it is taken for the directory
- ++argument;
+
@ src/cli/CommandLine.cpp | an unknown option of one dash taken for the directory
- } else if (option.starts_with('-')) {
+ } else if (option.starts_with("--")) {
@ src/cli/CommandLine.cpp | --utf8 does nothing
- commandLine.options.encoding = CsvEncoding::Utf8;
+
@ src/run/Conversion.cpp | the CSV files written in the handheld's bytes whatever the option
- CsvWriter out(*sink, encoding, buffer);
+ CsvWriter out(*sink, CsvEncoding::Palm, buffer);
@ src/catalogue/PalmLatin.h | the diamond and the heart swapped
- 0x2666, 0x017D, 0x2665
+ 0x2665, 0x017D, 0x2666
@ src/catalogue/PalmLatin.h | the numeric space written as a plain blank
- points[0x19] = 0x2007;
+ points[0x19] = 0x0020;
@ src/catalogue/PalmLatin.h | 0x9D taken as y with acute accent
- 0x009D, 0x017E
+ 0x00FD, 0x017E
@ src/catalogue/PalmLatin.h | the lead byte of a three-byte form takes one bit too few
- 0xE0 | point >> 12
+ 0xE0 | point >> 13
@ src/catalogue/PalmLatin.h | the numeric space not converted where bytes are taken one by one
- byte == 0x18 || byte == 0x19;
+ byte == 0x18;
@ src/csv/CsvWriter.h | a bare character (a rating) not converted in UTF-8
- if (kEncoding == CsvEncoding::Utf8 && changesInUtf8(static_cast<unsigned char>(c)))
+ if (kEncoding == CsvEncoding::Utf8 && c == '\x18')
@ src/csv/QuotedText.h | the word scan misses the numeric space 0x19
- constexpr Word kNotLowest = 0xFEFEFEFEFEFEFEFEu;
+ constexpr Word kNotLowest = 0xFFFFFFFFFFFFFFFFu;
@ src/csv/QuotedText.h | the word scan in UTF-8 misses bytes from 0x80
- return marks | (w & kHigh) | zeroBytes
+ return marks | zeroBytes
@ src/csv/QuotedText.h | the vector scan misses line feeds
- _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n')));
+ _mm_setzero_si128());
@ src/csv/QuotedText.h | the vector scan in UTF-8 misses bytes from 0x80
- _mm_cmplt_epi8(bytes, _mm_set1_epi8(0x20))
+ _mm_cmplt_epi8(_mm_and_si128(bytes, _mm_set1_epi8(0x7F)), _mm_set1_epi8(0x20))
@ src/csv/QuotedText.h | the vector scan in UTF-8 misses the numeric space 0x19
- _mm_set1_epi8(0x20)
+ _mm_set1_epi8(0x19)
@ src/csv/QuotedText.h | a vector with no byte needing care taken as one whose last byte needs care
- std::countr_zero(marks | 1u << kSize)
+ std::countr_zero(marks | 1u << (kSize - 1))
@ src/csv/QuotedText.h | a text in UTF-8 given room for two bytes a byte
- return encoding == CsvEncoding::Utf8 ? kMaxUtf8Size : 2;
+ return 2;
@ src/csv/CsvWriter.cpp | category names prepared in the handheld's bytes in UTF-8 too
- quoteInto(encoding_, text.data(), text.data() + text.size(), &prepared[1])
+ quoteInto(CsvEncoding::Palm, text.data(), text.data() + text.size(), &prepared[1])
@ src/run/Outcome.h | salvage ends with status 0 when only the tape database was damaged
- return !tapes.damage.empty() || !progs.damage.empty();
+ return !progs.damage.empty();
@ src/cli/main.cpp | a failed write to standard output not reported
- if (output.error() != 0) {
+ if (false) {
@ src/cli/main.cpp | a reader of standard output that has gone ends the run by SIGPIPE
- std::signal(SIGPIPE, SIG_IGN);
+
@ src/run/Conversion.cpp | the count line's number not padded to four places
- std::snprintf(count, sizeof count, "%4d ", list.rows);
+ std::snprintf(count, sizeof count, "%d ", list.rows);
@ src/run/MemoryRun.cpp | in memory, a CSV file never created counted as created, empty
- return found == outputs_.end() ? std::nullopt : std::optional(found->second);
+ return found == outputs_.end() ? std::optional<std::string>("") : std::optional(found->second);
@ src/run/MemoryRun.cpp | in memory, the damage report put on standard output
- void report(std::string_view text) override { messages_.push_back({true, std::string(text)}); }
+ void report(std::string_view text) override { messages_.push_back({false, std::string(text)}); }
@ src/run/Outcome.h | a salvage run that skipped something ends with status 0
- : damaged() ? kStatusSalvaged : kStatusSuccess;
+ : kStatusSuccess;
@ src/run/MemoryRun.cpp | in memory, a missing database named with the CSV file's name
- if (!database) cannotRead(std::string(name), ENOENT);
+ if (!database) cannotRead(std::string(kTapesCsv), ENOENT);
@ src/csv/CsvWriter.cpp | the bytes of a write that failed part-way written again when the writer is destroyed
- if (stopped_ || used_ == 0) return;
+ if (used_ == 0) return;
@ src/base/Failure.cpp | a failure without an error number reported as "Success"
- if (errorNumber == 0) errorNumber = EIO;
+
@ src/cli/main.cpp | a failed standard output reported in place of the failure that ended the run
- if (ending.outcome->failure) return ending;
+
@ src/catalogue/RecordFit.h | a record too short for its fixed fields taken for a row
- if (fit == RecordFit::Whole) return true;
+ if (fit != RecordFit::OtherKind) return true;
@ src/catalogue/ProgList.cpp | the look-up table gives a tape ID its last record, not its first
- if (slot == 0) slot = static_cast<std::uint16_t>(i + 1);
+ slot = static_cast<std::uint16_t>(i + 1);
@ src/catalogue/ProgList.cpp | the look-up table finds the tape of the next ID
- return at < slots_.size() && slots_[at] != 0 ? slots_[at] - std::size_t{1} : kNoTape;
+ return at + 1 < slots_.size() && slots_[at + 1] != 0 ? slots_[at + 1] - std::size_t{1} : kNoTape;
@ src/catalogue/ProgList.cpp | the look-up table misses the tape of the highest ID
- const std::size_t span = lowest <= highest ? std::size_t{highest - lowest} + 1 : 0;
+ const std::size_t span = lowest <= highest ? std::size_t{highest - lowest} : 0;
@ src/catalogue/ProgList.cpp | a long programme list sorted by its lowest digit only
-         std::swap(from, to);
-     }
+         std::swap(from, to);
+         break;
+     }
@ src/catalogue/ProgList.cpp | the labels copied one record off
- const std::string_view label = TapeRecord::labelOf(tapesDb.entry(i).data);
+ const std::string_view label = TapeRecord::labelOf(tapesDb.entry(i + 1 < tapesDb.recordCount() ? i + 1 : i).data);
@ src/xlsx/XlsxRows.cpp | category names escaped twice in the workbook
- appendUtf8(categories_[index], categoryName(appInfo, index));
+ appendUtf8(categories_[index], categoryName(appInfo, index));
+ escapeEscapes(categories_[index]);
@ src/xlsx/XlsxRows.cpp | the 29th of February a day of every year in the workbook
- return day <= kDays[month - 1] + (month == 2 && isLeapYear(year) ? 1 : 0);
+ return day <= kDays[month - 1] + (month == 2 ? 1 : 0);
@ src/xlsx/XlsxRows.cpp | a rating of 9 written as text in the workbook
- } else if (rating <= 9) {
+ } else if (rating < 9) {
@ src/run/Verdict.cpp | salvage offered where it would write nothing
- if (salvage && (salvage->tapes > 0 || salvage->progs > 0)) {
+ if (salvage) {
@ src/cli/ConsoleWindow.cpp | the workbook offered again after a workbook run
- if (!outcome.failure && !options.workbook) return WindowOffer::Workbook;
+ if (!outcome.failure) return WindowOffer::Workbook;
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

caught=0; missed=0; skipped=0; unscored_count=0; number=0
: >"$report"
run_fault() {  # number, file, what, old, new
  local n=$1 file=$2 what=$3 old=$4 new=$5 result tests unscored=0
  if [[ "$what" == *"(performance only)" ]]; then unscored=1; unscored_count=$((unscored_count + 1)); fi
  if [ ! -f "$file" ]; then
    result="not applicable (no $file)"; skipped=$((skipped + 1))
  elif [[ "$what" == "the vector scan"* || "$what" == "a vector "* ]] && [ "$dry" = 0 ] &&
       grep -q '^REELPORT_SIMD:BOOL=OFF' "$build/CMakeCache.txt"; then
    result="not applicable (built without SSE2 scan)"; skipped=$((skipped + 1))
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
          result="CAUGHT by $(echo "$tests" | head -3 | paste -sd, -)"
          [ "$(echo "$tests" | wc -l)" -gt 3 ] && result="$result and $(($(echo "$tests" | wc -l) - 3)) more"
          if [ "$unscored" = 1 ]; then result="not scored, $result"; else caught=$((caught + 1)); fi
        elif [ "$unscored" = 1 ]; then
          result="not scored, passes as it should"
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
scored=$((caught + missed))
score=""
[ "$scored" -gt 0 ] && score=", score $((100 * caught / scored)) % of $scored"
echo "== caught $caught, missed $missed, not applicable $skipped, performance only $unscored_count (not scored)$score" |
  tee -a "$report"
