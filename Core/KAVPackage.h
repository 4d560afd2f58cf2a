#pragma once

// The package every service speaks: a small JSON object with an event code,
// a token, a message order number, an encryption flag and a data object.
// Requests render it by hand (the services expect exactly this spacing);
// received texts are parsed back into it.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/Json.h"
#include "platform/JsonDocument.h"

// A text of a received package's envelope, read where the parsed document
// holds it (the package holds the document as long as it does) and copied
// into a string of its own only when someone asks for it as one: a quote
// push, which only compares its event and return code, copies none.
class KAVEnvelopeText {
  public:
    KAVEnvelopeText() = default;
    KAVEnvelopeText(const char* text) : own_(text) {}

    const std::string& str() const {
        if (inDocument_) {
            own_.assign(view_);
            inDocument_ = false;
        }
        return own_;
    }
    std::string_view view() const { return inDocument_ ? view_ : std::string_view(own_); }
    void set(std::string text) {
        own_ = std::move(text);
        inDocument_ = false;
    }
    void clear() {
        own_.clear();
        inDocument_ = false;
    }
    // Bytes the package's document holds, or bytes that never go (a literal).
    void refer(std::string_view text) {
        view_ = text;
        inDocument_ = true;
    }

  private:
    mutable std::string own_;
    std::string_view view_;
    mutable bool inDocument_ = false;
};

// The text a package read: a copy of its own, or a received text read where
// it lies (one whose buffer has the parser's room behind it) and copied
// only when someone asks for it as a string. A copy or a move of the
// package takes a copy of its own, as it may outlive the received text.
class KAVPackageText {
  public:
    KAVPackageText() = default;
    KAVPackageText(const KAVPackageText& other) : own_(other.view()) {}
    KAVPackageText(KAVPackageText&& other)
        : own_(other.borrowed_ ? std::string(other.view_) : std::move(other.own_)) {}
    KAVPackageText& operator=(const KAVPackageText& other) {
        if (this != &other) set(other.view());
        return *this;
    }
    KAVPackageText& operator=(KAVPackageText&& other) {
        if (this == &other) return *this;
        if (other.borrowed_) {
            set(other.view_);
        } else {
            own_ = std::move(other.own_);
            borrowed_ = false;
        }
        return *this;
    }

    const std::string& str() const {
        if (borrowed_) {
            own_.assign(view_);
            borrowed_ = false;
        }
        return own_;
    }
    std::string_view view() const { return borrowed_ ? view_ : std::string_view(own_); }
    // The text copied, with `room` bytes to spare behind it.
    void copy(std::string_view text, size_t room) {
        borrowed_ = false;
        own_.reserve(text.size() + room);
        own_.assign(text);
    }
    // Read where it lies, until the text is cleared or set again.
    void borrow(std::string_view text) {
        view_ = text;
        borrowed_ = true;
    }
    void clear() {
        own_.clear();
        borrowed_ = false;
    }
    // What the package's own buffer holds on to.
    size_t capacity() const { return own_.capacity(); }
    // Whether the parser's room is there behind the text: a text borrowed
    // had it, a copy made by copy() has it, a copy of the package may not.
    bool roomBehind(size_t room) const {
        return borrowed_ || own_.capacity() - own_.size() >= room;
    }

  private:
    void set(std::string_view text) {
        own_.assign(text);
        borrowed_ = false;
    }

    mutable std::string own_;
    std::string_view view_;
    mutable bool borrowed_ = false;
};

class KAVPackage {
  public:
    KAVPackage() = default;

    const std::string& event() const { return event_.str(); }
    // The same text, not copied out of a received package.
    std::string_view eventText() const { return event_.view(); }
    void setEvent(std::string event) { event_.set(std::move(event)); }
    // Set by toJSON (a new number from the counter) and by fromJSON.
    int32_t msgOrder() const { return msgOrder_; }
    const std::string& token() const { return token_; }
    void setToken(std::string token) { token_ = std::move(token); }
    const std::string& retCode() const { return retCode_.str(); }
    std::string_view retCodeText() const { return retCode_.view(); }
    void setRetCode(std::string retCode) { retCode_.set(std::move(retCode)); }
    const std::string& message() const { return message_.str(); }
    void setMessage(std::string message) { message_.set(std::move(message)); }
    // The package's own flag, rendered into the text; nothing reads it back.
    const std::string& encrypt() const { return encrypt_.str(); }
    void setEncrypt(std::string encrypt) { encrypt_.set(std::move(encrypt)); }

    // The "data" object. Built packages hold strings, except "children" (an
    // array whose first element is an object of strings) and "parames" (the
    // same shape, one query condition per member). Parsed packages hold
    // whatever the server sent.
    //
    // A received package keeps its text as parsed and builds this tree only
    // when it is first asked for: the quote road reads the few members it
    // needs through flatData() or dataView() instead.
    const platform::Json& kavData() const;
    platform::Json& kavData();
    void setKavData(platform::Json data);
    // The received data object read in place; missing once the tree has
    // been built (or for a package that was built, not received): the
    // caller then reads kavData().
    platform::JsonView dataView() const {
        if (dataInText_) readDataFromText();
        return document_ ? dataView_ : platform::JsonView();
    }
    // A received package of plain texts only (its data's members and its
    // children's all strings with no escape, as a quote push comes), read
    // with no document made: its data as it lies in the text. Null for
    // any other package, for one read again (dataView(), kavData()) and
    // for a copy: they read the data from the text's document.
    const platform::JsonFlatText* flatData() const {
        return dataInText_ && flat_.valid ? flat_.text.get() : nullptr;
    }

    // Stores the value under the key (value first, key second); a key
    // stored before keeps its place.
    void addValue(platform::Json value, const std::string& key);
    // The value under the key, or null.
    const platform::Json* getValue(std::string_view key) const;

    // The text that fromJSON parsed and its bytes (the same bytes here).
    const std::string& strData() const { return strData_.str(); }
    const std::string& binData() const { return strData_.str(); }
    // What the buffer of the text holds on to, without copying a text
    // read where it lies.
    size_t textCapacity() const { return strData_.capacity(); }

    // Renders the package; takes a new message order number first.
    std::string toJSON();
    // Reads a received text. False, with the package unchanged but for
    // strData, when there is no text or its top level is an array; a text
    // that is not JSON at all leaves every field empty and gives true.
    bool fromJSON(std::string_view text);
    // The same for a text a channel received, which stays where it is until
    // this package is cleared or reads another: with the parser's room to
    // spare behind it (JsonDocument::kPadding bytes of capacity), it is read
    // where it lies and copied only when strData is asked for. A package of
    // plain texts (a quote push) is read flat (flatData()).
    bool fromReceived(const std::string& text);

    // Empties the package as a new one is, but keeps the buffer of its
    // text for the next fromJSON (a channel reads every quote into one).
    void clear();

    // The data object alone, as toJSON renders it.
    static std::string renderData(const platform::Json& data);

  private:
    // Builds kavData_ from the parsed text, once.
    void materialize() const;
    // Parses the text of a package read without a document into one, for
    // whoever reads its data in some other way than flatData().
    void readDataFromText() const;
    // readDataFromText while the data still lies in the text only.
    void keepDataOfText() const;
    // readText's road for a package of plain texts only; false for any
    // other text, which is then parsed into a document.
    bool readFlatText(std::string_view text);

    // Copies the envelope's texts out of the document, which is let go.
    void releaseDocument() const;
    // fromJSON once strData_ holds the text, with room behind it; a
    // received one tried flat first (readFlatText).
    bool readText(std::string_view text, bool flatFirst);

    KAVEnvelopeText event_;
    int32_t msgOrder_ = 0;
    std::string token_;
    KAVEnvelopeText retCode_;
    KAVEnvelopeText message_;
    KAVEnvelopeText encrypt_ = "1";
    // Null stands for the empty object until someone asks for the tree: a
    // received package (a quote push, read in place) never allocates one.
    mutable platform::Json kavData_;
    // The parsed text while kavData_ is not yet built from it, or while
    // the envelope's texts are read in it.
    mutable std::shared_ptr<const platform::JsonDocument> document_;
    // The document once it is no longer read, parsed into again by the
    // next fromJSON while nobody else holds it: a package that reads one
    // message after another (a channel's) keeps one document, and takes no
    // count on it for each. A copy of the package starts without one.
    struct SpareDocument {
        std::shared_ptr<const platform::JsonDocument> document;
        SpareDocument() = default;
        SpareDocument(const SpareDocument&) noexcept {}
        SpareDocument& operator=(const SpareDocument&) noexcept { return *this; }
        SpareDocument(SpareDocument&&) noexcept = default;
        SpareDocument& operator=(SpareDocument&&) noexcept = default;
        ~SpareDocument() = default;
    };
    mutable SpareDocument spare_;
    mutable platform::JsonView dataView_;
    KAVPackageText strData_;
    // The data is still in the text, read by flat_ only.
    mutable bool dataInText_ = false;
    // What flatData() hands out, read where the text lies: a copy or a move
    // of the package starts without it (valid false), as its text may be
    // another, and keeps its buffers for the next flat read. A package's
    // first flat read takes the thread's spare buffers while no other
    // package holds them, so that a package made for one text allocates
    // none.
    struct FlatText {
        std::shared_ptr<platform::JsonFlatText> text;
        bool valid = false;
        FlatText() = default;
        FlatText(const FlatText&) noexcept {}
        FlatText& operator=(const FlatText&) noexcept {
            valid = false;
            return *this;
        }
        // The text a moved package read may now be another's: neither side
        // hands out views into it.
        FlatText(FlatText&& other) noexcept { other.valid = false; }
        FlatText& operator=(FlatText&& other) noexcept {
            valid = false;
            other.valid = false;
            return *this;
        }
        ~FlatText() = default;
        // The buffers, taken from the thread's spare the first time.
        platform::JsonFlatText& buffers();
    };
    mutable FlatText flat_;
};
