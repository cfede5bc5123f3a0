#pragma once

// Arithmetic of one Intel HEX record as the record editor holds it: text fields of hex digit
// pairs, "-" between the pairs of a field and a space for each position not filled in. The
// editor page and the runner's checksum records share these functions.

#include <QByteArray>
#include <functional>

namespace keldrin {

// Length of the editor's data mask at start (six pairs).
constexpr int kInitialDataPairs = 6;

struct HexRecordFields {
    QByteArray byteCount;   // one pair: "03"
    QByteArray address;     // two pairs: "00-30"
    QByteArray recordType;  // one pair: "00"
    QByteArray data;        // byte-count pairs: "02-33-7A"; empty when the count is not above 0
    QByteArray checksum;    // one pair: "1E"
};

// `text` laid into a field of `pairs` digit pairs separated by "-", as a field's mask takes a
// text written into it: each character fills the next digit position (letters and digits in
// upper case, any other character leaves that position blank); a "-" met at a separator position
// is that separator; missing positions stay blank (spaces). Characters beyond the field are cut.
QByteArray LayOutPairs(const QByteArray& text, int pairs);

// Number of data pairs a byte-count text asks for: its hex value (low 32 bits); 0 or less means
// the record has no data field. Throws EIntOverflow for a count text too large for HexToValue.
int DataPairsOf(const QByteArray& byteCountText);

// Checksum (two upper-case hex digits) of the text of byte count, address, record type and data
// in that order: the two's complement of the 8-bit sum of its digit pairs, after removing "_"
// and "-" and trimming. A pair holding a blank or a non-hex character adds 0; an odd last
// character is ignored. `betweenSteps`, when given, runs before and after each pair is added.
QByteArray HexRecordChecksum(const QByteArray& fieldsText,
                             const std::function<void()>& betweenSteps = {});

// The fields of a record text (":" anywhere is ignored): characters 1-2 are the byte count, 3-6
// the address, 7-8 the record type, then 2 x count characters of data (fewer if the text is
// shorter). The checksum is computed; whatever checksum the text carries is ignored.
HexRecordFields SplitHexRecord(const QByteArray& record);

// ":" followed by the trimmed text of the five fields in order with "_" and "-" removed. The
// checksum field is taken as it stands.
QByteArray AssembleHexRecord(const HexRecordFields& fields);

// Split, then assemble: the record text with its checksum computed.
QByteArray CompleteHexRecord(const QByteArray& record);

}  // namespace keldrin
