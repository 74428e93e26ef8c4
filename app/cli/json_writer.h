#pragma once
// A small JSON writer for the one object brevant-update prints with --json: objects,
// arrays, strings, integers and booleans, with commas and escapes taken care of. Texts
// are 8-bit strings (a writer's version text may hold any byte), so every byte outside
// printable ASCII is written as a \u00XX escape and the output is always valid JSON.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace brevant {

class JsonWriter {
public:
    JsonWriter& BeginObject();
    JsonWriter& EndObject();
    JsonWriter& BeginArray();
    JsonWriter& EndArray();
    // Starts a member of the current object; the value call that follows completes it.
    JsonWriter& Key(std::string_view name);
    JsonWriter& String(std::string_view text);
    JsonWriter& Number(int64_t value);
    JsonWriter& Bool(bool value);
    JsonWriter& Null();

    // Shorthands for a member with a value.
    JsonWriter& Field(std::string_view name, std::string_view text) { return Key(name).String(text); }
    JsonWriter& Field(std::string_view name, const char* text) { return Key(name).String(text ? text : ""); }
    JsonWriter& Field(std::string_view name, int64_t value) { return Key(name).Number(value); }
    JsonWriter& Field(std::string_view name, uint32_t value) { return Key(name).Number(int64_t(value)); }
    JsonWriter& Field(std::string_view name, int value) { return Key(name).Number(value); }
    JsonWriter& Field(std::string_view name, bool value) { return Key(name).Bool(value); }

    const std::string& text() const { return out_; }

private:
    void BeforeValue();
    void Quoted(std::string_view text);

    std::string out_;
    std::vector<bool> first_;  // per open container: nothing written in it yet
    bool afterKey_ = false;
};

}  // namespace brevant
