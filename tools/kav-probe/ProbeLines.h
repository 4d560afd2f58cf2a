#pragma once

// The probe's output: one line per event, a kind word first, then either
// positional values or key=value fields named after the record's fields.
// A text value is written as it stands unless it is empty or holds a blank,
// a quote mark, '=', a backslash or a control character; then it is
// double-quoted with backslash escapes (\" \\ \n \r \t \u00XX).

#include <cstdint>
#include <string>
#include <string_view>

#include "Core/Model/MODBulletin.h"
#include "Core/Model/MODCERInfo.h"
#include "Core/Model/MODCloseBill.h"
#include "Core/Model/MODHoldBill.h"
#include "Core/Model/MODHoldPosition.h"
#include "Core/Model/MODLimitBill.h"
#include "Core/Model/MODRiskInfo.h"
#include "Core/Model/MODSymbolInfo.h"
#include "Core/Model/MODUserAccount.h"

namespace kavprobe {

// A text value as it appears on a line.
std::string value(std::string_view text);
// Numbers in their shortest exact form ("1.1", "100000", "0.7").
std::string value(double number);
std::string value(float number);
std::string value(int64_t number);
inline std::string value(int32_t number) {
    return value(static_cast<int64_t>(number));
}

// Builds "kind key=value key=value ...".
class Line {
  public:
    explicit Line(std::string_view kind) : text_(kind) {}
    template <typename T>
    Line& field(std::string_view key, const T& v) {
        text_ += ' ';
        text_ += key;
        text_ += '=';
        text_ += value(v);
        return *this;
    }
    // A value without a key.
    Line& word(std::string_view v) {
        text_ += ' ';
        text_ += v;
        return *this;
    }
    const std::string& str() const { return text_; }

  private:
    std::string text_;
};

// ---- one printer per record kind ----
// "symbol" and every field of the record.
std::string symbolLine(const MODSymbolInfo& symbol);
// "quote <symbolCode> <bid> <ask> <lastTime>", prices at the symbol's decimals.
std::string quoteLine(const MODSymbolInfo& symbol);
// "account" and every field of the record.
std::string accountLine(const MODUserAccount& account);
// "rate <base>_<counter> <rate>".
std::string rateLine(const MODCERInfo& rate);
// "risk" and every field of the notice.
std::string riskLine(const MODRiskInfo& risk);

// "ticket", "pending", "position", "closed", "bulletin" and every field of the record.
std::string ticketLine(const MODHoldBill& ticket);
std::string pendingLine(const MODLimitBill& order);
std::string positionLine(const MODHoldPosition& position);
std::string closedLine(const MODCloseBill& closed);
std::string bulletinLine(const MODBulletin& bulletin);
// "bar" and the six fields of a history bar.
std::string barLine(const MODSymbolInfo& bar);

// "fail <code> <message>" (code as a value, the message to the end of the line).
std::string failLine(std::string_view prefix, const std::string& code, const std::string& message);

}  // namespace kavprobe
