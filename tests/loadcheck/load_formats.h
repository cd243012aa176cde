#ifndef TESTS_LOADCHECK_LOAD_FORMATS_H_
#define TESTS_LOADCHECK_LOAD_FORMATS_H_

// Readers of the two bulk-loader input formats in their published layouts,
// written independently of the programs that produce them, and record
// splitters that read a data file the way the loaders do.

#include <string>
#include <string_view>
#include <vector>

/// One field line of a bcp format file.
struct BcpField {
  int hostOrder = 0;
  std::string dataType;
  int prefixLength = 0;
  int dataLength = 0;
  std::string terminator;  // escapes resolved: "\r\n" is CR LF
  int serverOrder = 0;
  std::string serverName;
};

/// A non-XML bcp format file.
struct BcpFormat {
  std::string version;
  std::vector<BcpField> fields;
};

/// Reads a bcp format file; on failure returns false and says why in
/// `error`.
bool readBcpFormat(std::string_view text, BcpFormat* format,
                   std::string* error);

/// One column of a loader control file's field list.
struct LoaderColumn {
  std::string name;
  std::string type;  // "", "DATE" or "CHAR"
  std::string mask;  // DATE mask
  int length = 0;    // CHAR length; 0 when not given
};

/// A loader control file of the form LOAD DATA INFILE ... APPEND INTO
/// TABLE ... FIELDS TERMINATED BY ... OPTIONALLY ENCLOSED BY ... (...).
struct LoaderControl {
  std::string options;
  std::string inputPath;
  std::string recordTerminator;  // escapes resolved
  std::string table;
  std::string fieldTerminator;
  std::string enclosure;
  std::vector<LoaderColumn> columns;
};

/// Reads a loader control file; on failure returns false and says why in
/// `error`.
bool readLoaderControl(std::string_view text, LoaderControl* control,
                       std::string* error);

/// Splits `data` into records that each end with `terminator`; false when
/// the data does not end with a terminator.
bool splitRecords(std::string_view data, std::string_view terminator,
                  std::vector<std::string_view>* records);

/// Splits a record at `separator`; a field that begins with `enclosure`
/// runs to the next `enclosure` followed by the separator or the record's
/// end, and loses both enclosures. An empty `enclosure` disables it.
std::vector<std::string> splitFields(std::string_view record,
                                     std::string_view separator,
                                     std::string_view enclosure);

/// Reads one record field by field with the terminators of a bcp format;
/// false when a terminator is missing or text is left over.
bool splitBcpRecord(std::string_view* data, const BcpFormat& format,
                    std::vector<std::string>* fields);

/// True when `value` fits the date mask "YYYY-MM-DD HH24:MI:SS" exactly.
bool matchesDateMask(std::string_view value);

/// The comma-separated names of a column description line (line break
/// removed).
std::vector<std::string> readColumnDescription(std::string_view text);

#endif  // TESTS_LOADCHECK_LOAD_FORMATS_H_
