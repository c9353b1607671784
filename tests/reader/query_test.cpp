#include "reader/query.h"
#include "link/protocol.h"

#include <gtest/gtest.h>

#include "support/reader_fakes.h"
#include "text/cp1251.h"

namespace tallyglass {
namespace {

using test_support::RecordingUi;
using test_support::ScriptedRegister;

TEST(NumberCheck, StoresBothNumbersAndNamesTheFirstBrokenRule) {
  struct Case {
    const char* first;
    const char* last;
    bool accepted;
    const char* message;
    std::int32_t first_number, last_number;  // stored whatever the check says
  };
  const Case cases[] = {
      {"0", "5", false, "Началный номер должен быть >0!", 0, 5},
      {"7", "5", false, "Конечный номер должен быть не меньше начального!", 7, 5},
      {"-3", "-5", false, "Началный номер должен быть >0!", -3, -5},
      {"5", "5", true, nullptr, 5, 5},
      {" +9", "12", true, nullptr, 9, 12},
      {"1", "2147483647", true, nullptr, 1, 2147483647},
  };
  for (const auto& c : cases) {
    ReaderState state;
    RecordingUi ui;
    state.Edit1 = c.first;
    state.Edit2 = c.last;
    EXPECT_EQ(check_numbers(state, ui), c.accepted) << c.first << ".." << c.last;
    EXPECT_EQ(state.first_number, c.first_number) << c.first;
    EXPECT_EQ(state.last_number, c.last_number) << c.last;
    if (c.message) {
      EXPECT_EQ(ui.messages, std::vector<std::string>{c.message}) << c.first << ".." << c.last;
    } else {
      EXPECT_TRUE(ui.messages.empty()) << c.first << ".." << c.last;
    }
    EXPECT_EQ(state.Edit1, c.first);  // the fields stay as typed
  }
}

TEST(NumberCheck, NonNumericFieldIsAConversionFailure) {
  ReaderState state;
  RecordingUi ui;
  state.Edit1 = "1x";
  EXPECT_THROW(check_numbers(state, ui), FieldConversionError);
  EXPECT_TRUE(ui.messages.empty());
}

TEST(DateCheck, ComparesTwoDigitDatesAndIgnoresTimes) {
  struct Case {
    const char *from_date, *from_time, *to_date, *to_time;
    bool accepted;
  };
  const Case cases[] = {
      {"31.12.99", "00:00", "01.01.00", "00:00", false},  // year 99 is later than 00
      {"07.04.16", "18:00", "07.04.16", "09:00", true},
      {"01.04.16", "00:00", "07.04.16", "13:45", true},
      {"02.05.16", "00:00", "01.05.16", "23:59", false},
      {"01.05.16", "00:00", "30.04.17", "00:00", true},
  };
  for (const auto& c : cases) {
    ReaderState state;
    RecordingUi ui;
    state.Edit4 = c.from_date;
    state.Edit6 = c.from_time;
    state.Edit5 = c.to_date;
    state.Edit7 = c.to_time;
    const std::string name = std::string(c.from_date) + " " + c.from_time + " .. " + c.to_date;
    EXPECT_EQ(check_dates(state, ui), c.accepted) << name;
    if (c.accepted) {
      EXPECT_TRUE(ui.messages.empty()) << name;
    } else {
      EXPECT_EQ(ui.messages,
                std::vector<std::string>{"Конечная дата должна быть не меньше начальной!"})
          << name;
    }
  }
}

TEST(FormCreate, TakesTheDefaultsFromTheClock) {
  struct Case {
    local_time now;
    const char *start_date, *end_date, *end_time;
  };
  const Case cases[] = {
      {{2016, 1, 15, 9, 5}, "01.12.15", "15.01.16", "09:05"},
      {{2000, 1, 10, 23, 59}, "01.12.99", "10.01.00", "23:59"},
      {{2016, 3, 31, 0, 0}, "01.02.16", "31.03.16", "00:00"},
      {{2009, 11, 5, 12, 30}, "01.10.09", "05.11.09", "12:30"},
  };
  for (const auto& c : cases) {
    ReaderState state;
    state.type_index = kChoiceNone;
    form_create(state, c.now);
    EXPECT_EQ(state.Edit4, c.start_date) << c.end_date;
    EXPECT_EQ(state.Edit5, c.end_date);
    EXPECT_EQ(state.Edit6, "00:00");
    EXPECT_EQ(state.Edit7, c.end_time) << c.end_date;
    EXPECT_EQ(state.type_index, kChoiceCheckZ);
    EXPECT_EQ(Cp1251ToUtf8(state.type_text), "Чек+Z-отчет");
    EXPECT_EQ(state.Edit1, "1");
    EXPECT_EQ(state.Edit2, "1");
    EXPECT_EQ(state.Edit3, "583016");
  }
}

TEST(FieldValues, DateAndTimeForms) {
  const date_e d = date_e::from_text("07.04.16");
  EXPECT_EQ(d.day, 7);
  EXPECT_EQ(d.month, 4);
  EXPECT_EQ(d.year, 16);
  EXPECT_EQ(d.request_form(), "07;04;16;");
  EXPECT_EQ(d.display_form(), "07.04.16");
  EXPECT_EQ(time_e::from_text("13:45").request_form(), "13;45;");
  EXPECT_EQ(time_e::from_text("9-05").request_form(), "00;00;");  // ":" not third: 00:00
  EXPECT_THROW(date_e::from_text("07.04."), FieldConversionError);
  EXPECT_THROW(time_e::from_text("  :  "), FieldConversionError);
}

TEST(FieldValues, WhatPeopleTypeReadsAsTwoDigitValues) {
  struct DateCase {
    const char* typed;
    const char* request;  // "" for a conversion failure
  };
  const DateCase dates[] = {
      {"01.03.16", "01;03;16;"}, {"1.3.16", "01;03;16;"},   {"1.03.16", "01;03;16;"},
      {"01.3.16", "01;03;16;"},  {"1 .3 .16", "01;03;16;"}, {" 1. 3.16", "01;03;16;"},
      {"31.12.99", "31;12;99;"}, {"1.3.", ""},              {"1.3", ""},
      {"1..16", ""},             {"a.3.16", ""},            {"123.3.16", ""},
  };
  for (const auto& c : dates) {
    if (*c.request == '\0') {
      EXPECT_THROW(date_e::from_text(c.typed), FieldConversionError) << c.typed;
    } else {
      EXPECT_EQ(date_e::from_text(c.typed).request_form(), c.request) << c.typed;
    }
  }
  struct TimeCase {
    const char* typed;
    const char* request;
  };
  const TimeCase times[] = {{"09:05", "09;05;"}, {"9:05", "09;05;"},  {"9 :05", "09;05;"},
                            {"9:5", "09;05;"},   {"23:59", "23;59;"}, {"", "00;00;"}};
  for (const auto& c : times) EXPECT_EQ(time_e::from_text(c.typed).request_form(), c.request) << c.typed;
}

TEST(FieldValues, NetworkNumberByTheConnectionWindowsRule) {
  struct Case {
    const char* text;
    std::int32_t value;  // 0: refused
  };
  const Case cases[] = {{"5", 5},  {"5 ", 5},  {" 42", 42}, {"\t7\t", 7}, {"99", 99}, {"0", 0},
                        {"100", 0}, {"", 0},   {"  ", 0},   {"+5", 0},     {"5a", 0},  {"COM1", 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(ParseNetworkNumber(c.text).value_or(0), c.value) << "'" << c.text << "'";
    if (c.value == 0) EXPECT_THROW(network_number(c.text), FieldConversionError) << c.text;
    else EXPECT_EQ(network_number(c.text), c.value) << c.text;
  }
}

TEST(FieldValues, IntegerConversion) {
  EXPECT_EQ(field_to_int(" 12"), 12);
  EXPECT_EQ(field_to_int("-3"), -3);
  EXPECT_EQ(field_to_int("+7"), 7);
  EXPECT_EQ(field_to_int("-2147483648"), INT32_MIN);
  for (const char* bad : {"", " ", "12 ", "1.5", "abc", "2147483648", "-", "99999999999999"})
    EXPECT_THROW(field_to_int(bad), FieldConversionError) << "'" << bad << "'";
}

TEST(ReplyField, FieldsBeforeAndBetweenSemicolons) {
  EXPECT_EQ(reply_field("17;42;", 1), 17);
  EXPECT_EQ(reply_field("17;42;", 2), 42);
  EXPECT_EQ(reply_field("17;42", 2), 42);
  EXPECT_THROW(reply_field(";42;", 1), FieldConversionError);
  EXPECT_THROW(reply_field("17;;", 2), FieldConversionError);
  EXPECT_THROW(reply_field("17", 1), FieldConversionError);
}

class LookupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reg.install(state);
    state.Edit4 = "01.04.16";
    state.Edit6 = "00:00";
    state.Edit5 = "07.04.16";
    state.Edit7 = "13:45";
    ui.network = "7";
  }
  ReaderState state;
  RecordingUi ui;
  ScriptedRegister reg;
};

TEST_F(LookupTest, SendsThePeriodAndReadsTheTwoNumbers) {
  reg.answer_f = [](const std::string&) { return ScriptedRegister::Answer{34, "17;42;"}; };
  return_numbers(state, ui.control);
  EXPECT_EQ(reg.requests, std::vector<std::string>{"F;01;04;16;00;00;07;04;16;13;45;"});
  EXPECT_EQ(reg.network_numbers, std::vector<int>{7});
  EXPECT_EQ(state.Edit1, "17");
  EXPECT_EQ(state.Edit2, "42");
  EXPECT_EQ(state.model.check_no_min, 17);
  EXPECT_EQ(state.model.check_no_max, 42);
}

TEST_F(LookupTest, NoAnswerLeavesOneAndOneWithoutAMessage) {
  state.model.check_no_min = 5;
  state.model.check_no_max = 9;
  reg.answer_f = [](const std::string&) { return ScriptedRegister::Answer{-12, ""}; };
  return_numbers(state, ui.control);
  EXPECT_EQ(state.Edit1, "1");
  EXPECT_EQ(state.Edit2, "1");
  EXPECT_EQ(state.model.check_no_min, 1);
  EXPECT_EQ(state.model.check_no_max, 1);
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(LookupTest, BadReplyOrNetworkNumberIsThrownWithModelAndFieldsUnchanged) {
  state.Edit1 = "3";
  state.Edit2 = "4";
  state.model.check_no_min = 3;
  state.model.check_no_max = 4;
  reg.answer_f = [](const std::string&) { return ScriptedRegister::Answer{34, "17;x;"}; };
  EXPECT_THROW(return_numbers(state, ui.control), FieldConversionError);
  ui.network = "один";
  EXPECT_THROW(return_numbers(state, ui.control), FieldConversionError);
  EXPECT_EQ(reg.requests.size(), 1u);  // the second never reached the line
  EXPECT_EQ(state.Edit1, "3");
  EXPECT_EQ(state.Edit2, "4");
  EXPECT_EQ(state.model.check_no_min, 3);
  EXPECT_EQ(state.model.check_no_max, 4);
}

TEST(TypeChange, FillsTheNumberFieldsFromTheChosenRange) {
  ReaderState state;
  state.type_index = kChoiceZ;
  type_change(state);  // nothing loaded yet
  EXPECT_EQ(state.Edit1, "0");
  EXPECT_EQ(state.Edit2, "0");
  state.model.note_zvit_no(12);
  state.model.note_zvit_no(15);
  state.model.note_check_no(301);
  state.model.note_check_no(340);
  type_change(state);
  EXPECT_EQ(state.Edit1 + ".." + state.Edit2, "12..15");
  for (int index : {kChoiceCheck, kChoiceCheckZ, kChoiceService, kChoiceNone}) {
    state.type_index = index;
    type_change(state);
    EXPECT_EQ(state.Edit1 + ".." + state.Edit2, "301..340") << index;
  }
}

}  // namespace
}  // namespace tallyglass
