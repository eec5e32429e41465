// Table-driven reading and writing of typed records as JSON objects.
//
// A record type is described once by a table of its members in declaration
// order; the same table drives reading and writing:
//
//   struct Point { std::string id; double x = 0; std::optional<double> z; };
//
//   inline constexpr std::array kPointFields{
//       json::required_field<&Point::id>("id"),
//       json::required_field<&Point::x>("x"),
//       json::optional_field<&Point::z>("z"),
//   };
//   inline constexpr json::RecordFormat<Point> kPointFormat{"Point", kPointFields};
//   // Lets other tables hold Points, std::vector<Point>, std::optional<Point>.
//   template <> struct json::Codec<Point> : json::RecordCodec<Point, kPointFormat> {};
//
//   Point p = json::parse_record_text(text, kPointFormat);
//   std::string text = json::write_record_text(kPointFormat, p);
//
// Reading a record (read_record):
//   * an object: members by exact name in any order; a known member given
//     twice fails with "duplicate field `x`"; unknown members are skipped
//     (their value must be well-formed); after the object, the first required
//     member (in table order) that was not seen fails with "missing field
//     `x`"; optional members not seen keep the record's default value;
//   * an array: the values of all members in table order (optional ones
//     included, null standing for "not given"); a shorter array fails with
//     "invalid length N, expected struct <Name> with M elements" (" element"
//     when M is 1), a longer one with "trailing characters" at the first
//     extra value ("trailing comma" for a lone comma);
//   * anything else fails with "invalid type: ..., expected struct <Name>".
// Member kinds:
//   required_field  must be present; null is an invalid type for it.
//   optional_field  may be absent; a std::optional member also takes null
//                   as "not given". Written only when given.
//   nullable_field  read like optional_field; a std::optional member that is
//                   not given is written as null instead of being left out.
// Value types come from Codec<T>: std::string, double ("f64", integers
// accepted; a NaN or infinity is not written: NonFiniteMemberError names the
// record and member), std::uint32_t ("u32"), JsonValue (any value), std::vector<T>
// ("a sequence"), records (RecordCodec) and enumerations (EnumCodec, whose
// JSON strings are listed in enumerator order).
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "formats/json_reader.h"
#include "formats/json_writer.h"
#include "formats/non_finite_number.h"
#include "formats/record_starts.h"
#include "common/member_traits.h"
#include "common/messages.h"
#include "common/stop_check.h"

namespace vorn::json {

// How a value of type T is read and written. Specialise it for records
// (RecordCodec) and enumerations (EnumCodec).
template <class T>
struct Codec;

template <>
struct Codec<std::string> {
    static std::string read(JsonReader& reader) { return reader.read_string(); }
    static void write(JsonWriter& writer, const std::string& value) { writer.string(value); }
};

template <>
struct Codec<double> {
    static double read(JsonReader& reader) { return reader.read_f64(); }
    // JSON has no non-finite numbers: the enclosing record reports the member.
    static void write(JsonWriter& writer, double value) {
        if (!std::isfinite(value)) throw NonFiniteValue{value};
        writer.number(value);
    }
};

template <>
struct Codec<std::uint32_t> {
    static std::uint32_t read(JsonReader& reader) { return reader.read_u32(); }
    static void write(JsonWriter& writer, std::uint32_t value) { writer.unsigned_integer(value); }
};

template <>
struct Codec<JsonValue> {
    static JsonValue read(JsonReader& reader) { return reader.read_value(); }
    static void write(JsonWriter& writer, const JsonValue& value) { writer.value(value); }
};

template <class T>
struct Codec<std::vector<T>> {
    static std::vector<T> read(JsonReader& reader) {
        std::vector<T> items;
        // A member of the outermost record: its elements are noted.
        RecordStarts* const starts = reader.depth() == 1 ? reader.starts() : nullptr;
        reader.open_sequence();
        bool first = true;
        while (reader.next_element(first)) {
            if (starts) starts->add_element(reader.next_offset());
            items.push_back(Codec<T>::read(reader));
        }
        reader.close_array();
        return items;
    }
    static void write(JsonWriter& writer, const std::vector<T>& items) {
        writer.begin_array();
        for (const T& item : items) Codec<T>::write(writer, item);
        writer.end_array();
    }
};

enum class Presence : std::uint8_t { Required, Optional };

template <class Record>
struct FieldFormat {
    std::string_view name;
    Presence presence;
    // Reads the member's value (the reader stands after the colon).
    void (*read)(JsonReader& reader, Record& record);
    // Writes "name": value, or nothing when the member is left out.
    void (*write)(JsonWriter& writer, std::string_view name, const Record& record);
};

template <class Record>
struct RecordFormat {
    std::string_view name;  // as in "struct <name>"
    std::span<const FieldFormat<Record>> fields;

    constexpr RecordFormat(std::string_view record_name, std::span<const FieldFormat<Record>> record_fields)
        : name(record_name), fields(record_fields) {
        // The reader tracks the members seen in one 64-bit mask.
        if (record_fields.size() > 64) throw std::logic_error("a record table holds at most 64 members");
    }
};

// The index of the member called `name` in the record's table (the table's
// size when it has none).
template <class Record>
constexpr std::size_t member_index(const RecordFormat<Record>& format, std::string_view name) {
    std::size_t index = 0;
    while (index < format.fields.size() && format.fields[index].name != name) ++index;
    return index;
}

template <class Record>
Record read_record(JsonReader& reader, const RecordFormat<Record>& format) {
    Record record{};
    const auto fields = format.fields;
    // Only the outermost record's members and their elements are noted.
    RecordStarts* const starts = reader.depth() == 0 ? reader.starts() : nullptr;
    if (starts) starts->begin_record(fields.size());
    if (reader.open_record(format.name) == '[') {
        bool first = true;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (!reader.next_element(first)) {
                reader.fail_in_array(msg::json_invalid_length(i, format.name, fields.size()));
            }
            if (starts) starts->begin_member(i, reader.next_offset());
            fields[i].read(reader, record);
        }
        reader.close_array();
        return record;
    }
    std::uint64_t seen = 0;
    bool first = true;
    std::string_view key;
    while (reader.next_key(first, key)) {
        std::size_t index = 0;
        while (index < fields.size() && fields[index].name != key) ++index;
        if (index == fields.size()) {
            reader.read_colon();
            reader.skip_value();
            continue;
        }
        const std::uint64_t bit = std::uint64_t{1} << index;
        if ((seen & bit) != 0) reader.fail_in_object(msg::json_duplicate_field(fields[index].name));
        seen |= bit;
        reader.read_colon();
        if (starts) starts->begin_member(index, reader.next_offset());
        fields[index].read(reader, record);
    }
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].presence == Presence::Required && (seen & (std::uint64_t{1} << i)) == 0) {
            reader.fail_in_object(msg::json_missing_field(fields[i].name));
        }
    }
    reader.close_object();
    return record;
}

template <class Record>
void write_record(JsonWriter& writer, const RecordFormat<Record>& format, const Record& record) {
    writer.begin_object();
    for (const FieldFormat<Record>& field : format.fields) {
        try {
            field.write(writer, field.name, record);
        } catch (const NonFiniteValue& refused) {
            throw NonFiniteMemberError(format.name, field.name, refused.value);
        }
    }
    writer.end_object();
}

// A whole document holding one record (only whitespace may follow it). When
// `starts` is given, it receives where the record's members start.
template <class Record>
Record parse_record_text(std::string_view text, const RecordFormat<Record>& format,
                         const StopCheck& stop = never_stop(), RecordStarts* starts = nullptr) {
    JsonReader reader(text, stop);
    reader.note_starts(starts);
    Record record = read_record(reader, format);
    reader.finish();
    return record;
}

template <class Record>
std::string write_record_text(const RecordFormat<Record>& format, const Record& record,
                              const StopCheck& stop = never_stop()) {
    JsonWriter writer(stop);
    write_record(writer, format, record);
    return writer.take();
}

template <class Record, const RecordFormat<Record>& Format>
struct RecordCodec {
    static Record read(JsonReader& reader) { return read_record(reader, Format); }
    static void write(JsonWriter& writer, const Record& record) { write_record(writer, Format, record); }
};

// `Names` is a std::array of std::string_view: the JSON string of each
// enumerator, in enumerator order (0, 1, ...).
template <class Enum, const auto& Names>
struct EnumCodec {
    static Enum read(JsonReader& reader) { return static_cast<Enum>(reader.read_variant(Names)); }
    static void write(JsonWriter& writer, Enum value) { writer.string(Names[static_cast<std::size_t>(value)]); }
};

namespace detail {

// Reads a member that may be given as null when it is a std::optional.
template <auto Member>
void read_maybe_null(JsonReader& reader, RecordOf<Member>& record) {
    using Value = ValueOf<Member>;
    if constexpr (kIsOptional<Value>) {
        if (reader.take_null()) {
            record.*Member = std::nullopt;
        } else {
            record.*Member = Codec<typename Optionality<Value>::Value>::read(reader);
        }
    } else {
        record.*Member = Codec<Value>::read(reader);
    }
}

template <auto Member, bool kNullWhenAbsent>
void write_maybe_absent(JsonWriter& writer, std::string_view name, const RecordOf<Member>& record) {
    using Value = ValueOf<Member>;
    if constexpr (kIsOptional<Value>) {
        const auto& member = record.*Member;
        if (!member.has_value() && !kNullWhenAbsent) return;
        writer.key(name);
        if (member.has_value()) {
            Codec<typename Optionality<Value>::Value>::write(writer, *member);
        } else {
            writer.null();
        }
    } else {
        writer.key(name);
        Codec<Value>::write(writer, record.*Member);
    }
}

}  // namespace detail

template <auto Member>
constexpr FieldFormat<RecordOf<Member>> required_field(std::string_view name) {
    using Record = RecordOf<Member>;
    using Value = ValueOf<Member>;
    static_assert(!kIsOptional<Value>, "a required member is not a std::optional");
    return {name, Presence::Required,
            [](JsonReader& reader, Record& record) { record.*Member = Codec<Value>::read(reader); },
            [](JsonWriter& writer, std::string_view key, const Record& record) {
                writer.key(key);
                Codec<Value>::write(writer, record.*Member);
            }};
}

template <auto Member>
constexpr FieldFormat<RecordOf<Member>> optional_field(std::string_view name) {
    return {name, Presence::Optional, &detail::read_maybe_null<Member>, &detail::write_maybe_absent<Member, false>};
}

template <auto Member>
constexpr FieldFormat<RecordOf<Member>> nullable_field(std::string_view name) {
    return {name, Presence::Optional, &detail::read_maybe_null<Member>, &detail::write_maybe_absent<Member, true>};
}

}  // namespace vorn::json
