// Package text, message order, parsing of received packages, the envelope
// and the small shared helpers.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Core/Funs.h"
#include "Core/KAVCrypt.h"
#include "Core/KAVPackage.h"
#include "platform/Crypto.h"
#include "platform/Json.h"
#include "platform/JsonDocument.h"

using platform::Json;

namespace {

// The next package rendered gets message order `next`.
void nextOrderIs(int32_t next) {
    Funs::setMessageOrder(next - 1);
}

}  // namespace

TEST(KAVPackage, RendersTheHeadAndAnEmptyDataObject) {
    nextOrderIs(3);
    KAVPackage p;
    EXPECT_EQ(p.toJSON(), R"({"event":"","token" : "","msgOrder":"3","encrypt":"1","data":{}})");
    EXPECT_EQ(p.msgOrder(), 3);
    // A second rendering takes a new number.
    EXPECT_EQ(p.toJSON(), R"({"event":"","token" : "","msgOrder":"4","encrypt":"1","data":{}})");
    EXPECT_EQ(p.msgOrder(), 4);
}

TEST(KAVPackage, RendersMembersChildrenAndConditionsWithTheirSpacing) {
    nextOrderIs(17);
    KAVPackage p;
    p.setEvent("3001");
    p.addValue("S1", "sid");
    p.addValue("1001", "uid");
    p.addValue("1", "action");
    p.addValue(Json::array({Json{{"bsCode", "b"}, {"orderQuantity", "2"}}, Json{{"ignored", "x"}}}),
               "children");
    EXPECT_EQ(
        p.toJSON(),
        R"({"event":"3001","token" : "","msgOrder":"17","encrypt":"1","data":{"sid": "S1","uid": "1001","action": "1","children": [{"bsCode": "b","orderQuantity": "2"}]}})");

    KAVPackage h;
    h.setEvent("2023");
    h.setEncrypt("0");
    h.addValue(Json::array({Json{{"symbolCode", "EURUSD"}, {"barCount", "-100"}}}), "parames");
    h.addValue("4", "action");
    EXPECT_EQ(
        h.toJSON(),
        R"({"event":"2023","token" : "","msgOrder":"18","encrypt":"0","data":{"parames": [{ "operator" :"and", "key" : "symbolCode", "value" : "EURUSD"},{ "operator" :"and", "key" : "barCount", "value" : "-100"}],"action": "4"}})");
}

TEST(KAVPackage, LeavesOutEmptyChildrenAndConditionsAndRendersNumbersAsText) {
    nextOrderIs(5);
    KAVPackage p;
    p.addValue(Json::array({Json::object()}), "children");
    p.addValue(Json::array({Json::object()}), "parames");
    p.addValue(5, "n");
    p.addValue(1.25, "d");
    p.addValue("second", "n");  // replaces the value, keeps the place
    EXPECT_EQ(
        p.toJSON(),
        R"({"event":"","token" : "","msgOrder":"5","encrypt":"1","data":{"n": "second","d": "1.25"}})");
    ASSERT_NE(p.getValue("d"), nullptr);
    EXPECT_EQ(p.getValue("missing"), nullptr);
}

TEST(KAVPackage, EscapesValuesSoTheyCannotBreakOrExtendTheText) {
    nextOrderIs(9);
    const std::string memo = "say \"hi\",} \\ back\nslash\x01 中文";
    KAVPackage p;
    p.setEvent("3001");
    p.addValue(memo, "memo");
    p.addValue(Json::array({Json{{"memo", memo}, {"pwd", "a\"b"}}}), "children");
    p.addValue(Json::array({Json{{"k\"", "v\\"}}}), "parames");
    const std::string text = p.toJSON();
    EXPECT_NE(text.find(R"("memo": "say \"hi\",} \\ back\nslash\u0001 中文")"), std::string::npos)
        << text;

    // The text is JSON whose values are exactly what was given, and no
    // member was smuggled in.
    const auto parsed = platform::parseJson(text);
    ASSERT_TRUE(parsed) << text;
    const Json& data = (*parsed)["data"];
    EXPECT_EQ(data.size(), 3u);
    EXPECT_EQ(data["memo"], memo);
    EXPECT_EQ(data["children"][0]["memo"], memo);
    EXPECT_EQ(data["children"][0]["pwd"], "a\"b");
    EXPECT_EQ(data["parames"][0]["key"], "k\"");
    EXPECT_EQ(data["parames"][0]["value"], "v\\");
}

// Every control character, in every place a text goes: the five with a
// short escape take it, the other codes below U+0020 their \u form with
// four lower-case hex digits (NUL included), and DEL, which JSON lets
// stand in a string, goes out as it is. Each reads back as it was given.
TEST(KAVPackage, EscapesEveryControlCharacterAndLetsDelStand) {
    std::vector<char> controls;
    for (int c = 0x00; c < 0x20; ++c)
        controls.push_back(static_cast<char>(c));
    controls.push_back('\x7f');
    for (const char c : controls) {
        const auto code = static_cast<unsigned>(static_cast<unsigned char>(c));
        SCOPED_TRACE(code);
        std::string expected;
        switch (c) {
            case '\b':
                expected = R"(\b)";
                break;
            case '\t':
                expected = R"(\t)";
                break;
            case '\n':
                expected = R"(\n)";
                break;
            case '\f':
                expected = R"(\f)";
                break;
            case '\r':
                expected = R"(\r)";
                break;
            case '\x7f':
                expected = "\x7f";
                break;
            default: {
                const char* hex = "0123456789abcdef";
                expected = std::string(R"(\u00)") + hex[code >> 4] + hex[code & 15];
            }
        }
        const std::string value = std::string("a") + c + "b";
        const std::string rendered = "a" + expected + "b";
        KAVPackage p;
        p.setEvent(value);
        p.setToken(value);
        p.addValue(value, "memo");
        p.addValue(Json::array({Json{{"memo", value}}}), "children");
        p.addValue(Json::array({Json{{value, value}}}), "parames");
        const std::string text = p.toJSON();
        EXPECT_NE(text.find("{\"event\":\"" + rendered + "\",\"token\" : \"" + rendered + "\""),
                  std::string::npos)
            << text;
        EXPECT_NE(text.find("\"memo\": \"" + rendered + "\""), std::string::npos) << text;
        // Nothing of the character stands raw but DEL.
        EXPECT_EQ(text.find(c) != std::string::npos, c == '\x7f') << text;

        const auto parsed = platform::parseJson(text);
        ASSERT_TRUE(parsed) << text;
        EXPECT_EQ((*parsed)["event"], value);
        EXPECT_EQ((*parsed)["token"], value);
        const Json& data = (*parsed)["data"];
        EXPECT_EQ(data["memo"], value);
        EXPECT_EQ(data["children"][0]["memo"], value);
        EXPECT_EQ(data["parames"][0]["key"], value);
        EXPECT_EQ(data["parames"][0]["value"], value);
    }
}

TEST(KAVPackage, MessageOrderWrapsFrom65535To2) {
    Funs::setMessageOrder(65534);
    EXPECT_EQ(Funs::getMessageOrder(), 65535);
    EXPECT_EQ(Funs::getMessageOrder(), 2);
    EXPECT_EQ(Funs::getMessageOrder(), 3);
}

TEST(KAVPackage, ParsesRepliesWithNumbersAsNumbersOrStrings) {
    KAVPackage p;
    ASSERT_TRUE(p.fromJSON(
        R"({"event":"2002","msgOrder":17,"retCode":0,"message":"ok","encrypt":"1","data":{"children":[{"a":"1"}]}})"));
    EXPECT_EQ(p.event(), "2002");
    EXPECT_EQ(p.msgOrder(), 17);
    EXPECT_EQ(p.retCode(), "0");
    EXPECT_EQ(p.message(), "ok");
    ASSERT_NE(p.getValue("children"), nullptr);
    EXPECT_EQ((*p.getValue("children"))[0]["a"], "1");
    EXPECT_EQ(p.strData(), p.binData());

    ASSERT_TRUE(p.fromJSON(R"({"event":4002,"msgOrder":"17","retCode":"9"})"));
    EXPECT_EQ(p.event(), "4002");
    EXPECT_EQ(p.msgOrder(), 17);
    EXPECT_EQ(p.retCode(), "9");
    EXPECT_EQ(p.message(), "");
}

// A received package renders the data object it read, whichever parser read
// it and whether or not its members were asked for first.
TEST(KAVPackage, AReceivedPackageRendersTheDataItRead) {
    const std::string fastText = R"({"event":"2002","msgOrder":"17","data":{"a":"1","b":2}})";
    // A byte order mark leaves the text to the tree parser.
    const std::string treeText = "\xEF\xBB\xBF" + fastText;
    for (const std::string& text : {fastText, treeText}) {
        for (const bool askedFirst : {false, true}) {
            SCOPED_TRACE(text + (askedFirst ? " asked first" : ""));
            KAVPackage p;
            ASSERT_TRUE(p.fromJSON(text));
            if (askedFirst) {
                ASSERT_NE(p.getValue("a"), nullptr);
            }
            nextOrderIs(40);
            EXPECT_EQ(p.toJSON(),
                      R"({"event":"2002","token" : "","msgOrder":"40","encrypt":"","data":{"a": "1","b": "2"}})");
        }
    }
}

TEST(KAVPackage, ParsesFieldsOfTheWrongTypeAsEmpty) {
    KAVPackage p;
    ASSERT_TRUE(p.fromJSON(
        R"({"event":null,"retCode":[1],"message":{"a":1},"msgOrder":"x","data":[1,2]})"));
    EXPECT_EQ(p.event(), "");
    EXPECT_EQ(p.retCode(), "");
    EXPECT_EQ(p.message(), "");
    EXPECT_EQ(p.msgOrder(), 0);
    EXPECT_TRUE(p.kavData().is_object());
    EXPECT_TRUE(p.kavData().empty());

    // Text that is not JSON leaves every field empty; an array or no text
    // at all is refused.
    p.setEvent("old");
    EXPECT_TRUE(p.fromJSON("not json"));
    EXPECT_EQ(p.event(), "");
    EXPECT_EQ(p.encrypt(), "");
    p.setEvent("old");
    EXPECT_FALSE(p.fromJSON("[1,2]"));
    EXPECT_EQ(p.event(), "old");
    EXPECT_FALSE(p.fromJSON(""));

    // A whole reply followed by a NUL byte and more is no JSON either: it is
    // not read as the reply before the NUL.
    using namespace std::string_literals;
    ASSERT_TRUE(p.fromJSON(
        "{\"event\":\"3001\",\"msgOrder\":\"7\",\"retCode\":\"0\"}\0{\"retCode\":\"1\"}"s));
    EXPECT_EQ(p.event(), "");
    EXPECT_EQ(p.retCode(), "");
    EXPECT_EQ(p.msgOrder(), 0);
}

TEST(KAVPackage, ClearedItIsANewPackageAndReadsTheNextTextAlone) {
    KAVPackage p;
    ASSERT_TRUE(p.fromJSON(
        R"({"event":"4002","msgOrder":"9","retCode":"0","message":"m","encrypt":"0","data":{"a":"1"}})"));
    p.setToken("T");
    p.clear();
    const KAVPackage fresh;
    EXPECT_EQ(p.event(), fresh.event());
    EXPECT_EQ(p.msgOrder(), fresh.msgOrder());
    EXPECT_EQ(p.token(), fresh.token());
    EXPECT_EQ(p.retCode(), fresh.retCode());
    EXPECT_EQ(p.message(), fresh.message());
    EXPECT_EQ(p.encrypt(), fresh.encrypt());
    EXPECT_EQ(p.strData(), "");
    EXPECT_FALSE(p.dataView());
    EXPECT_EQ(p.kavData(), Json::object());
    EXPECT_EQ(p.getValue("a"), nullptr);

    // A text without a data object after one with it: nothing of the first stays.
    ASSERT_TRUE(p.fromJSON(R"({"event":"4002","data":{"a":"1"}})"));
    p.clear();
    ASSERT_TRUE(p.fromJSON(R"({"event":"4004"})"));
    EXPECT_EQ(p.event(), "4004");
    EXPECT_EQ(p.getValue("a"), nullptr);
    EXPECT_EQ(p.kavData(), Json::object());
}

TEST(KAVPackage, AKeyGivenTwiceCountsAsItsLaterValueOnEitherParser) {
    // The envelope is read in one pass over its members; a look-up by name
    // in the tree parser's result finds the same later values. The second
    // text carries an integer beyond 64 bits, which only the tree parser takes.
    for (const char* tail : {"", R"(,"big":123456789012345678901234567890)"}) {
        KAVPackage p;
        const std::string text =
            std::string(R"({"event":"1","event":"2","message":"m","message":null,)") +
            R"("msgOrder":"3","msgOrder":4,"retCode":"0","retCode":[0],)" +
            R"("data":{"a":"1"},"data":{"b":"2"})" + tail + "}";
        ASSERT_TRUE(p.fromJSON(text));
        EXPECT_EQ(p.event(), "2") << tail;
        EXPECT_EQ(p.message(), "") << tail;
        EXPECT_EQ(p.retCode(), "") << tail;
        EXPECT_EQ(p.msgOrder(), 4) << tail;
        EXPECT_EQ(p.getValue("a"), nullptr) << tail;
        ASSERT_NE(p.getValue("b"), nullptr) << tail;
        EXPECT_EQ(*p.getValue("b"), "2") << tail;
    }
}

// A received package's envelope texts are read where its parsed document
// holds them: they stay what was received through a copy, the package
// read again, its data tree built or replaced, and the document let go.
TEST(KAVPackage, EnvelopeTextsOutliveTheDocumentTheyWereReadIn) {
    const std::string first =
        R"({"event":"4016","msgOrder":"12","retCode":"0","message":"a message of more than fifteen bytes","encrypt":"0","data":{"a":"1"}})";
    KAVPackage p;
    ASSERT_TRUE(p.fromJSON(first));
    const KAVPackage copy = p;
    KAVPackage built = p;
    KAVPackage replaced = p;
    p.clear();
    ASSERT_TRUE(
        p.fromJSON(R"({"event":"4002","retCode":"7","message":"x","encrypt":"1","data":{}})"));
    EXPECT_EQ(p.event(), "4002");
    EXPECT_EQ(p.retCodeText(), "7");
    EXPECT_EQ(p.message(), "x");
    p.clear();
    ASSERT_TRUE(built.kavData().is_object());  // the tree built, the document let go
    replaced.setKavData(Json{{"b", "2"}});
    for (const KAVPackage* q :
         {&copy, const_cast<const KAVPackage*>(&built), const_cast<const KAVPackage*>(&replaced)}) {
        EXPECT_EQ(q->event(), "4016");
        EXPECT_EQ(q->eventText(), "4016");
        EXPECT_EQ(q->retCode(), "0");
        EXPECT_EQ(q->retCodeText(), "0");
        EXPECT_EQ(q->message(), "a message of more than fifteen bytes");
        EXPECT_EQ(q->encrypt(), "0");
        EXPECT_EQ(q->msgOrder(), 12);
    }
    EXPECT_EQ(*built.getValue("a"), "1");
    EXPECT_EQ(*replaced.getValue("b"), "2");
    // Set again, a text is the package's own.
    built.setEvent("1");
    EXPECT_EQ(built.eventText(), "1");
    EXPECT_EQ(copy.eventText(), "4016");
}

// A package that reads one text after another (a channel's) reads each
// whole, whichever parser takes it and whether or not it is refused, and a
// copy taken of it, or its tree built, keeps what it read.
TEST(KAVPackage, ReadAgainAndAgainEveryTextReadsAloneAndCopiesKeepTheirOwn) {
    struct Step {
        std::string text;
        bool read;
        const char* event;
        const char* a;  // the data member "a", or null
    };
    const std::vector<Step> steps = {
        {R"({"event":"1","retCode":"0","data":{"a":"x"}})", true, "1", "x"},
        {R"({"event":"2","data":{"b":"y"}})", true, "2", nullptr},
        // An integer beyond 64 bits: the tree parser's.
        {R"({"event":"3","data":{"a":"z","n":123456789012345678901234567890}})", true, "3", "z"},
        {R"({"event":"4","data":{"a":"w"}})", true, "4", "w"},
        {"[1,2]", false, nullptr, nullptr},
        {R"({"event":"5"})", true, "5", nullptr},
        {R"({"event":)", true, "", nullptr},  // not JSON: read as empty
        {R"({"event":"6","data":{"a":"v"}})", true, "6", "v"},
    };
    for (const bool buildTree : {false, true}) {
        SCOPED_TRACE(buildTree);
        KAVPackage p;
        std::vector<std::pair<KAVPackage, const Step*>> copies;
        for (const Step& step : steps) {
            SCOPED_TRACE(step.text);
            p.clear();
            ASSERT_EQ(p.fromJSON(step.text), step.read);
            if (!step.read) continue;
            EXPECT_EQ(p.eventText(), step.event);
            EXPECT_EQ(p.encrypt(), "");
            if (step.a) {
                ASSERT_NE(p.getValue("a"), nullptr);
                EXPECT_EQ(*p.getValue("a"), step.a);
            } else {
                EXPECT_EQ(p.getValue("a"), nullptr);
            }
            if (buildTree) p.kavData();
            copies.emplace_back(p, &step);
            if (!buildTree) {
                // Read in place until the tree is asked for.
                KAVPackage again;
                ASSERT_TRUE(again.fromJSON(step.text));
                copies.emplace_back(std::move(again), &step);
            }
        }
        for (const auto& [copy, step] : copies) {
            SCOPED_TRACE(step->text);
            EXPECT_EQ(copy.event(), step->event);
            EXPECT_EQ(copy.strData(), step->text);
            const Json* a = copy.getValue("a");
            if (step->a) {
                ASSERT_NE(a, nullptr);
                EXPECT_EQ(*a, step->a);
            } else {
                EXPECT_EQ(a, nullptr);
            }
        }
    }
}

// A received text with the parser's room behind it is read where it lies;
// a copy or a move of the package made while it is there, or its text asked
// for, keeps the text after the received one is overwritten and gone. One
// without the room is copied.
TEST(KAVPackage, AReceivedTextReadWhereItLiesIsCopiedByWhatOutlivesIt) {
    const std::string original =
        R"({"event":"4002","retCode":"0","message":"a message longer than fifteen bytes","data":{"a":"1"}})";
    for (const bool room : {true, false}) {
        SCOPED_TRACE(room);
        auto received = std::make_unique<std::string>(original);
        if (room) {
            received->reserve(received->size() + platform::JsonDocument::kPadding);
        } else {
            received->shrink_to_fit();
        }
        KAVPackage p;
        ASSERT_TRUE(p.fromReceived(*received));
        EXPECT_EQ(p.textCapacity() >= original.size(), !room);
        const KAVPackage copy = p;
        KAVPackage assigned;
        assigned = p;
        KAVPackage source = p;
        const KAVPackage moved = std::move(source);
        KAVPackage moveAssigned;
        KAVPackage other = p;
        moveAssigned = std::move(other);
        KAVPackage asked;
        ASSERT_TRUE(asked.fromReceived(*received));
        EXPECT_EQ(asked.strData(), original);
        // The received buffer written over, then let go.
        received->assign(received->size(), 'x');
        received.reset();
        for (const KAVPackage* q :
             std::vector<const KAVPackage*>{&copy, &assigned, &moved, &moveAssigned, &asked}) {
            EXPECT_EQ(q->strData(), original);
            EXPECT_EQ(q->binData(), original);
            EXPECT_EQ(q->event(), "4002");
            EXPECT_EQ(q->message(), "a message longer than fifteen bytes");
            ASSERT_NE(q->getValue("a"), nullptr);
            EXPECT_EQ(*q->getValue("a"), "1");
        }
        p.clear();
        EXPECT_EQ(p.strData(), "");
    }
}

// A quote push of plain texts is read with no document: its quotes as they
// lie in the text. Whoever reads its data another way, and every copy,
// reads it from a document of the same text; so does a text with an escape.
TEST(KAVPackage, APushOfPlainTextsIsReadFlatAndItsDataAnyOtherWayFromItsText) {
    const std::string plain =
        R"({"event":"4002","msgOrder":"9","retCode":"0","message":"","encrypt":"0",)"
        R"("data":{"children":[{"symbolCode":"EURUSD","priceCurrent":"1.10100"},)"
        R"({"symbolCode":"XAUUSD","priceCurrent":"2350.5"}]}})";
    auto received = std::make_unique<std::string>(plain);
    received->reserve(received->size() + platform::JsonDocument::kPadding);
    KAVPackage p;
    ASSERT_TRUE(p.fromReceived(*received));
    EXPECT_EQ(p.eventText(), "4002");
    EXPECT_EQ(p.msgOrder(), 9);
    EXPECT_EQ(p.retCodeText(), "0");
    const platform::JsonFlatText* flat = p.flatData();
    ASSERT_NE(flat, nullptr);
    ASSERT_EQ(flat->ends().size(), 2u);
    EXPECT_EQ(flat->elementMembers()[3].value, "2350.5");
    // Read where it lies.
    EXPECT_GE(flat->elementMembers()[0].value.data(), received->data());
    EXPECT_LT(flat->elementMembers()[0].value.data(), received->data() + received->size());

    const KAVPackage copy = p;
    EXPECT_EQ(copy.flatData(), nullptr);
    KAVPackage moved = KAVPackage(p);
    EXPECT_EQ(moved.flatData(), nullptr);
    // The received text written over and let go: the copies read their own.
    const KAVPackage* packages[] = {&copy, &moved};
    received->assign(received->size(), 'x');
    received.reset();
    for (const KAVPackage* q : packages) {
        EXPECT_EQ(q->eventText(), "4002");
        const platform::JsonView children = q->dataView().member("children");
        std::vector<std::string> codes;
        children.forEachElement([&](const platform::JsonView& quote) {
            codes.emplace_back(quote.member("symbolCode").string());
        });
        EXPECT_EQ(codes, (std::vector<std::string>{"EURUSD", "XAUUSD"}));
        ASSERT_NE(q->getValue("children"), nullptr);
        EXPECT_EQ((*q->getValue("children"))[1]["priceCurrent"], "2350.5");
    }

    // A package moved away hands out no views into the text it read, which
    // is now another's.
    {
        std::string text = plain;
        text.reserve(text.size() + platform::JsonDocument::kPadding);
        KAVPackage source;
        ASSERT_TRUE(source.fromReceived(text));
        KAVPackage target = std::move(source);
        EXPECT_EQ(source.flatData(), nullptr);  // NOLINT(bugprone-use-after-move)
        KAVPackage assigned;
        ASSERT_TRUE(source.fromReceived(text));
        assigned = std::move(source);
        EXPECT_EQ(source.flatData(), nullptr);  // NOLINT(bugprone-use-after-move)
    }

    // Its data read as a document: no longer handed out flat.
    KAVPackage again;
    std::string text = plain;
    text.reserve(text.size() + platform::JsonDocument::kPadding);
    ASSERT_TRUE(again.fromReceived(text));
    ASSERT_NE(again.flatData(), nullptr);
    EXPECT_TRUE(again.dataView().isObject());
    EXPECT_EQ(again.flatData(), nullptr);
    ASSERT_TRUE(again.fromReceived(text));
    again.setKavData(Json{{"a", "1"}});
    EXPECT_EQ(again.flatData(), nullptr);
    EXPECT_EQ(*again.getValue("a"), "1");
    again.clear();
    EXPECT_EQ(again.flatData(), nullptr);

    // An escape, a number: read from the document, the same strings.
    for (const std::string& other :
         {std::string(R"({"event":"4002","data":{"children":[{"symbolCode":"EUR\/USD"}]}})"),
          std::string(
              R"({"event":"4002","msgOrder":9,"data":{"children":[{"symbolCode":"EUR/USD"}]}})")}) {
        KAVPackage q;
        ASSERT_TRUE(q.fromReceived(other));
        EXPECT_EQ(q.flatData(), nullptr) << other;
        EXPECT_EQ(q.eventText(), "4002") << other;
        ASSERT_NE(q.getValue("children"), nullptr) << other;
        EXPECT_EQ((*q.getValue("children"))[0]["symbolCode"], "EUR/USD") << other;
    }
}

// A text refused (an array, no text at all) leaves the package as it was
// but for strData, a package whose data was read flat included: its data
// lay in the text that went.
TEST(KAVPackage, ARefusedTextLeavesTheDataOfAPackageReadFlat) {
    const std::string plain =
        R"({"event":"4002","data":{"children":[{"symbolCode":"EURUSD","bid":"1.1"}]}})";
    for (const std::string& refused : {std::string("[1,2]"), std::string()}) {
        for (const bool received : {true, false}) {
            std::string text = plain;
            text.reserve(text.size() + platform::JsonDocument::kPadding);
            KAVPackage p;
            ASSERT_TRUE(p.fromReceived(text));
            ASSERT_NE(p.flatData(), nullptr);
            std::string next = refused;
            next.reserve(next.size() + platform::JsonDocument::kPadding);
            EXPECT_FALSE(received ? p.fromReceived(next) : p.fromJSON(next));
            // The first text gone, as a channel's buffer goes.
            text.assign(text.size(), 'x');
            EXPECT_EQ(p.eventText(), "4002");
            EXPECT_EQ(p.flatData(), nullptr);
            ASSERT_TRUE(p.dataView().isObject()) << refused << received;
            const Json* children = p.getValue("children");
            ASSERT_NE(children, nullptr) << refused << received;
            EXPECT_EQ((*children)[0]["symbolCode"], "EURUSD");
        }
    }
}

TEST(KAVPackage, MessageOrdersInTextAreReadAsTheTreeReadsThem) {
    for (const char* order :
         {"0", "7", "007", "12abc", "-5", "+5", "", "x", "2147483648", "999999999999999999",
          "9999999999999999999", "99999999999999999999", "000000000000000000000000001"}) {
        KAVPackage p;
        const std::string text = std::string(R"({"event":"1","msgOrder":")") + order + "\"}";
        ASSERT_TRUE(p.fromJSON(text)) << order;
        const Json tree = *platform::parseJson(text);
        const int64_t wide = platform::jsonInteger(tree, "msgOrder");
        const int32_t expected = wide > INT32_MAX   ? INT32_MAX
                                 : wide < INT32_MIN ? INT32_MIN
                                                    : static_cast<int32_t>(wide);
        EXPECT_EQ(p.msgOrder(), expected) << order;
    }
}

TEST(KAVCrypt, PadsByHandToWholeBlocks) {
    const std::string padded15 = KAVCrypt::pad(std::string(15, 'a'));
    ASSERT_EQ(padded15.size(), 16u);
    EXPECT_EQ(padded15.back(), '\x01');
    const std::string padded16 = KAVCrypt::pad(std::string(16, 'a'));
    EXPECT_EQ(padded16, std::string(16, 'a') + std::string(16, '\x10'));
    const std::string padded17 = KAVCrypt::pad(std::string(17, 'a'));
    EXPECT_EQ(padded17, std::string(17, 'a') + std::string(15, '\x0f'));
    for (const auto& p : {padded15, padded16, padded17}) {
        const auto back = KAVCrypt::unpad(p);
        ASSERT_TRUE(back);
        EXPECT_EQ(back->find_first_not_of('a'), std::string::npos);
    }
}

TEST(KAVCrypt, RefusesBadPadding) {
    EXPECT_FALSE(KAVCrypt::unpad(std::string(15, 'a') + '\0'));            // 0
    EXPECT_FALSE(KAVCrypt::unpad(std::string(15, 'a') + '\x11'));          // beyond a block
    EXPECT_FALSE(KAVCrypt::unpad(std::string(3, '\x05')));                 // longer than the data
    EXPECT_FALSE(KAVCrypt::unpad(std::string(13, 'a') + "\x02\x03\x03"));  // bytes differ
    EXPECT_FALSE(KAVCrypt::unpad(""));
}

TEST(KAVCrypt, PreparesKeysByLength) {
    EXPECT_EQ(KAVCrypt::prepareKey(KAVCrypt::kAES, "short"),
              std::string("short") + std::string(11, '\0'));
    EXPECT_EQ(KAVCrypt::prepareKey(KAVCrypt::kAES, std::string(16, 'k')).size(), 16u);
    EXPECT_EQ(KAVCrypt::prepareKey(KAVCrypt::kAES, std::string(20, 'k')),
              std::string(20, 'k') + std::string(4, '\0'));
    EXPECT_EQ(KAVCrypt::prepareKey(KAVCrypt::kAES, std::string(25, 'k')).size(), 32u);
    EXPECT_EQ(KAVCrypt::prepareKey(KAVCrypt::kAES, std::string(40, 'k')), std::string(32, 'k'));
    EXPECT_EQ(KAVCrypt::prepareKey(KAVCrypt::kCAST, "k").size(), 5u);
}

TEST(KAVCrypt, EnciphersWithTheKeyBroughtToItsSize) {
    const std::string text = R"({"event":"1003","data":{"uid": "1001"}})";
    for (const std::string& key :
         {std::string(KAVCrypt::kPackageKey), std::string("20-character-key-abc"),
          std::string("a-key-longer-than-twenty-five-bytes")}) {
        const std::string sealed = KAVCrypt::encrypt(text, key, KAVCrypt::kPackageIV);
        EXPECT_EQ(sealed.find('\n'), std::string::npos);
        EXPECT_EQ(KAVCrypt::decrypt(sealed, key, KAVCrypt::kPackageIV), text);
        // Read with a cipher keyed by hand the same way.
        auto aes = platform::crypto::AesEcb::create(KAVCrypt::prepareKey(KAVCrypt::kAES, key));
        ASSERT_TRUE(aes);
        const auto plain = aes->decrypt(*platform::crypto::base64Decode(sealed));
        ASSERT_TRUE(plain);
        EXPECT_EQ(*KAVCrypt::unpad(*plain), text);
    }
}

TEST(KAVCrypt, DecipheringRefusesBadEnvelopes) {
    const KAVCrypt crypt(KAVCrypt::kPackageKey);
    auto aes = platform::crypto::AesEcb::create(KAVCrypt::kPackageKey);
    ASSERT_TRUE(aes);
    const auto seal = [&](const std::string& blocks) {
        return platform::crypto::base64Encode(*aes->encrypt(blocks));
    };

    EXPECT_EQ(crypt.decrypt(seal(KAVCrypt::pad("ok"))), "ok");
    EXPECT_FALSE(crypt.decrypt("not*base64"));  // alphabet
    EXPECT_FALSE(
        crypt.decrypt(platform::crypto::base64Encode(std::string(15, 'x'))));  // not whole blocks
    EXPECT_FALSE(crypt.decrypt(""));
    EXPECT_FALSE(crypt.decrypt(seal(std::string(15, 'a') + '\0')));          // padding 0
    EXPECT_FALSE(crypt.decrypt(seal(std::string(14, 'a') + "\x01\x02")));    // padding bytes differ
    EXPECT_FALSE(crypt.decrypt(seal(KAVCrypt::pad("\xff\xfe not utf-8"))));  // not UTF-8
}

// A deciphered package comes with the JSON parser's room behind it, so that
// the channel reads it where it lies, whatever its length.
TEST(KAVCrypt, DecipheredTextsLeaveTheParsersRoomBehindThem) {
    const KAVCrypt crypt(KAVCrypt::kPackageKey);
    for (size_t length : {0u, 1u, 15u, 16u, 17u, 100u, 1000u}) {
        const std::string text(length, 'q');
        const auto plain =
            crypt.decrypt(KAVCrypt::encrypt(text, KAVCrypt::kPackageKey, KAVCrypt::kPackageIV));
        ASSERT_TRUE(plain) << length;
        EXPECT_EQ(*plain, text);
        EXPECT_GE(plain->capacity() - plain->size(), platform::JsonDocument::kPadding) << length;
    }
}

TEST(Funs, PriceTextsPointsRiskAndZero) {
    EXPECT_EQ(Funs::formatPrice(1.23456, 2), "1.23");
    EXPECT_EQ(Funs::formatPrice(1.23456, 0), "1");
    EXPECT_EQ(Funs::formatPrice(150.0, 3), "150.000");
    // A symbol's decimal count comes from the server: an absurd one gives
    // the most a double can show, not a text of a million digits.
    EXPECT_EQ(Funs::formatPrice(0.5, 1000000), "0.500000000000000");
    EXPECT_EQ(Funs::formatPrice(2.0, -3), "2");
    EXPECT_EQ(Funs::getPointWithPrice1(1.10250, 1.10000, 5), 250);
    EXPECT_EQ(Funs::getPointWithPrice1(1.15, 1.10, 2), 5);
    EXPECT_EQ(Funs::getPointWithPrice1(1.0, 2.0, 0), 1);
    // Decimals held to 10, whose power of ten is beyond 32 bits.
    EXPECT_EQ(Funs::getPointWithPrice1(1.5, 1.0, 40), INT32_MAX);
    EXPECT_EQ(Funs::getPointWithPrice1(0.0000012353, 0.000001235, 10), 3);
    EXPECT_DOUBLE_EQ(Funs::riskWith("2", 1000, 3000), 3.0);
    EXPECT_DOUBLE_EQ(Funs::riskWith("1", 1000, 4000), 0.25);
    EXPECT_DOUBLE_EQ(Funs::riskWith("2", 0, 3000), 0.0);
    EXPECT_DOUBLE_EQ(Funs::riskWith("3", 1000, 3000), 0.0);
    EXPECT_TRUE(Funs::testDB_Zero(1e-310));
    EXPECT_FALSE(Funs::testDB_Zero(2.3e-308));
    EXPECT_NEAR(Funs::calculateDynProfitWith(1.2, 1.1, 2, "s", 100000, "1"), -20000.0, 1e-6);
    EXPECT_NEAR(Funs::calculateDynProfitWith(1.25, 1.0, 1, "b", 100, "2"), -20.0, 1e-9);
    EXPECT_EQ(Funs::calculateDynProfitWith(1.25, 1.0, 1, "b", 100, "3"), 0.0);
    EXPECT_EQ(Funs::withStringLeft("中文字符", 2), "中文");
    EXPECT_EQ(Funs::withStringRight("中文字符", 3), "文字符");
}

TEST(Funs, DatesInTheLocalTimeZone) {
    const int64_t epoch = 1767603600;
    EXPECT_EQ(Funs::Date2Epoch(Funs::Epoch2Date(epoch)), epoch);
    EXPECT_EQ(Funs::Date2Epoch("2026/01/05 09:00:00"), 0);
    EXPECT_EQ(Funs::getToDay().size(), 19u);
}
