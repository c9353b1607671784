#include "support/synthetic_journal.h"

#include <array>
#include <charconv>
#include <string_view>

#include "text/cp1251.h"

namespace tallyglass::bench {
namespace {

struct Item {
  const char* name;
  int price;        // hundredths
  int tax_group;    // 1: 20 %, 2: 7 %
  bool by_weight;   // quantity in grams
};

constexpr std::array<Item, 32> kItems = {{
    {"Хліб Український 0.9 кг", 1450, 1, false},
    {"Батон Нарізний 0.5 кг", 1290, 1, false},
    {"Молоко 2.5% 900 мл", 1875, 1, false},
    {"Кефір 1% 900 г", 2150, 1, false},
    {"Сметана 20% 350 г", 2390, 1, false},
    {"Масло вершкове 82% 200 г", 6400, 1, false},
    {"Сир твердий Голландський", 19800, 1, true},
    {"Ковбаса Докторська", 16900, 1, true},
    {"Сосиски Молочні", 12450, 1, true},
    {"Яйця курячі С1 10 шт", 3290, 1, false},
    {"Олія соняшникова Щедрий Дар 1 л", 4150, 1, false},
    {"Цукор білий 1 кг", 1690, 1, false},
    {"Борошно пшеничне вищий ґатунок 2 кг", 2780, 1, false},
    {"Гречка ядриця 1 кг", 3590, 1, false},
    {"Рис довгозернистий 1 кг", 3120, 1, false},
    {"Макарони Спагеті 400 г", 1870, 1, false},
    {"Кава мелена Jacobs Monarch 250 г", 8990, 1, false},
    {"Чай чорний Ахмад 100 пакетиків", 12900, 1, false},
    {"Шоколад Корона молочний 100 г", 3250, 1, false},
    {"Печиво Марія 155 г", 1890, 1, false},
    {"Яблука Голден", 2800, 1, true},
    {"Банани", 3900, 1, true},
    {"Картопля молода", 1100, 1, true},
    {"Цибуля ріпчаста", 1400, 1, true},
    {"Вода мінеральна Моршинська 1.5 л", 1200, 1, false},
    {"Сік яблучний Садочок 1 л", 2790, 1, false},
    {"Пиво Оболонь Світле 0.5 л", 1650, 1, false},
    {"Мило дитяче Вушастий нянь", 1590, 1, false},
    {"Пакет поліетиленовий", 150, 1, false},
    {"Парацетамол 500 мг №10", 1820, 2, false},
    {"Вітамін С 500 мг №20", 4500, 2, false},
    {"Аскорбінова кислота з глюкозою", 450, 2, false},
}};

constexpr std::array<const char*, 5> kComments = {
    "Дякуємо за покупку!", "Акція: кожна п'ята кава в подарунок",
    "Продаж алкоголю неповнолітнім заборонено", "Бажаємо гарного дня!",
    "Обмін товару протягом 14 днів з чеком"};

class Random {
 public:
  explicit Random(std::uint32_t seed) : state_(seed * 2654435761u + 1) {}
  std::uint32_t next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
  }
  int between(int low, int high) { return low + static_cast<int>(next() % (high - low + 1)); }
  bool chance(int percent) { return between(1, 100) <= percent; }

 private:
  std::uint32_t state_;
};

// Date and time of the register's clock, advanced by the generator.
struct Clock {
  int year = 2016, month = 3, day = 1, seconds = 8 * 3600;

  void next_day() {
    static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    seconds = 8 * 3600;
    if (++day > kDays[month - 1]) {
      day = 1;
      if (++month > 12) month = 1, ++year;
    }
  }
  void advance(int s) { seconds = seconds + s < 86400 ? seconds + s : 86399; }
  void put_date(std::string& out) const {
    put(out, year, 4), put(out, month, 2), put(out, day, 2);
  }
  void put_stamp(std::string& out) const {
    put_date(out);
    put(out, seconds / 3600, 2), put(out, seconds / 60 % 60, 2), put(out, seconds % 60, 2);
  }
  static void put(std::string& out, int v, int width) {
    char buffer[8];
    for (int i = width - 1; i >= 0; --i, v /= 10) buffer[i] = static_cast<char>('0' + v % 10);
    out.append(buffer, width);
  }
};

void put(std::string& out, long long v) {
  char buffer[24];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, v).ptr;
  out.append(buffer, end);
}

// name="value" followed by a space unless last.
void attr(std::string& out, std::string_view name, long long v) {
  out += ' ';
  out += name;
  out += "=\"";
  put(out, v);
  out += '"';
}

void attr(std::string& out, std::string_view name, std::string_view v) {
  out += ' ';
  out += name;
  out += "=\"";
  out += v;
  out += '"';
}

const char* rate_text(int group) { return group == 2 ? "7.00" : "20.00"; }

// Tax included in an amount, rounded: 20/120 or 7/107 of it.
long long tax_of(long long amount, int group) {
  return group == 2 ? (amount * 7 + 53) / 107 : (amount + 3) / 6;
}

struct DayTotals {
  long long cash_in = 0, cash_out = 0, cash_sales = 0, cash_refunds = 0, card_sales = 0;
  long long group_sales[3] = {}, group_tax[3] = {}, group_refunds[3] = {}, group_refund_tax[3] = {};
  int sales = 0, refunds = 0;
};

constexpr std::string_view kHead =
    R"( DT="0" FN="3011223344" TN="ПН 301122334455" V="1" ZN="402400117">)";

void open_document(std::string& out, int di) {
  out += "<DAT";
  attr(out, "DI", di);
  out += kHead;
}

void close_document(std::string& out, const Clock& clock, int di, Random& random) {
  out += "<TS>";
  clock.put_stamp(out);
  out += "</TS></DAT><MAC";
  attr(out, "DI", di);
  attr(out, "NT", di);
  out += '>';
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (int i = 0; i < 32; ++i) out += kAlphabet[random.next() % 64];
  out += "</MAC>\r\n";
}

void end_line(std::string& out, int n, int number, long long sum, const Clock& clock) {
  out += "<E CS=\"1\" FN=\"3011223344\"";
  attr(out, "N", n);
  attr(out, "NO", number);
  attr(out, "SM", sum);
  out += " TS=\"";
  clock.put_stamp(out);
  out += '"';
}

void service_receipt(std::string& out, Random& random, int number, const Clock& clock,
                     DayTotals& day, bool cash_in) {
  const long long sum = cash_in ? random.between(200, 800) * 100LL : random.between(100, 500) * 100LL;
  (cash_in ? day.cash_in : day.cash_out) += sum;
  out += R"(<C CN="1" T="2">)";
  out += cash_in ? "<I" : "<O";
  out += R"( N="1" NM="ГРОШІ")";
  attr(out, "SM", sum);
  out += cash_in ? R"( T="0"></I>)" : R"( T="0"></O>)";
  end_line(out, 2, number, sum, clock);
  out += "></E></C>";
}

void card_payment(std::string& out, int n, int number, long long sum) {
  out += "<M";
  attr(out, "N", n);
  out += R"( NM="КРЕДИТ" RRN="6074)";
  put(out, 10000000 + number);
  out += '"';
  attr(out, "SM", sum);
  out += R"( T="1"></M>)";
}

// One sale receipt (or a refund); returns its line elements.
int sale_receipt(std::string& out, Random& random, int number, const Clock& clock,
                 DayTotals& day, int min_lines, int max_lines) {
  const bool refund = random.chance(3);
  const int lines = random.between(min_lines, max_lines);
  const bool card = random.chance(35);
  const bool two_payments = !card && !refund && lines >= 7 && random.chance(10);
  const bool comment = lines >= 6 && random.chance(30);
  const bool adjust = lines >= 7 && random.chance(20);
  const bool info = lines >= 8 && random.chance(10);
  const int payments = two_payments ? 2 : 1;
  const int items = lines - 1 - payments - comment - adjust - info;

  out += refund ? R"(<C CN="1" T="1">)" : R"(<C CN="1" T="0">)";
  int n = 0;
  if (comment) {
    out += "<L";
    attr(out, "N", ++n);
    out += '>';
    out += kComments[random.next() % kComments.size()];
    out += "</L>";
  }
  long long group_sum[3] = {};
  for (int i = 0; i < items; ++i) {
    const Item& item = kItems[random.next() % kItems.size()];
    const bool bag = item.price < 200;
    const long long quantity = item.by_weight ? random.between(150, 2500)
                                              : 1000LL * (random.chance(75) ? 1 : random.between(2, 6));
    const long long sum = (quantity * item.price + 500) / 1000;
    group_sum[item.tax_group] += sum;
    out += bag ? "<CP" : "<P";
    out += " C=\"48200";
    put(out, 10000000 + (&item - kItems.data()) * 7919);
    out += '"';
    attr(out, "N", ++n);
    attr(out, "NM", item.name);
    attr(out, "PRC", item.price);
    attr(out, "Q", quantity);
    attr(out, "SM", sum);
    attr(out, "TX", item.tax_group);
    out += bag ? "></CP>" : "></P>";
    if (info && i == 0) {
      out += R"(<H HP="0" HT="BarBitLine")";
      attr(out, "N", ++n);
      out += ">48200";
      put(out, 10000000 + (&item - kItems.data()) * 7919);
      out += "</H>";
    }
  }
  if (adjust) {
    const bool discount = random.chance(70);
    const int percent = discount ? random.between(2, 10) : 5;
    const long long amount = group_sum[1] * percent / 100;
    group_sum[1] += discount ? -amount : amount;
    out += discount ? "<D" : "<S";
    attr(out, "N", ++n);
    out += " PR=\"";
    put(out, percent);
    out += ".00\"";
    attr(out, "SM", amount);
    out += R"( TR="1" TX="1" TY="1">)";
    out += discount ? "</D>" : "</S>";
  }
  const long long total = group_sum[1] + group_sum[2];
  if (two_payments) {
    const long long by_card = total / 2;
    card_payment(out, ++n, number, by_card);
    day.card_sales += by_card;
    const long long rest = total - by_card;
    const long long paid = (rest / 1000 + 1) * 1000;
    out += "<M";
    attr(out, "N", ++n);
    out += R"( NM="ГРОШІ")";
    attr(out, "RM", paid - rest);
    attr(out, "SM", paid);
    out += R"( T="0"></M>)";
    day.cash_sales += rest;
  } else if (card && !refund) {
    card_payment(out, ++n, number, total);
    day.card_sales += total;
  } else {
    const long long paid = refund ? total : (total / 5000 + 1) * 5000;
    out += "<M";
    attr(out, "N", ++n);
    out += R"( NM="ГРОШІ")";
    if (paid != total) attr(out, "RM", paid - total);
    attr(out, "SM", paid);
    out += R"( T="0"></M>)";
    (refund ? day.cash_refunds : day.cash_sales) += total;
  }
  (refund ? day.refunds : day.sales) += 1;
  end_line(out, ++n, number, total, clock);
  const bool children = group_sum[2] != 0 || random.chance(50);
  for (int g = 1; g <= 2; ++g) {
    (refund ? day.group_refunds : day.group_sales)[g] += group_sum[g];
    (refund ? day.group_refund_tax : day.group_tax)[g] += tax_of(group_sum[g], g);
  }
  if (children) {
    out += '>';
    for (int g = 1; g <= 2; ++g) {
      if (group_sum[g] == 0) continue;
      out += "<TX";
      attr(out, "TX", g);
      out += " TXAL=\"0\"";
      attr(out, "TXPR", rate_text(g));
      attr(out, "TXSM", tax_of(group_sum[g], g));
      out += R"( TXTY="0"></TX>)";
    }
    out += "</E></C>";
  } else {
    out += R"( TX="1" TXAL="0" TXPR="20.00")";
    attr(out, "TXSM", tax_of(group_sum[1], 1));
    out += R"( TXTY="0"></E></C>)";
  }
  return n;
}

void zreport(std::string& out, int number, const Clock& clock, const DayTotals& day) {
  out += "<Z";
  attr(out, "NO", number);
  out += R"(><IO NM="ГРОШІ")";
  attr(out, "SMI", day.cash_in);
  attr(out, "SMO", day.cash_out);
  attr(out, "SMT", day.cash_in + day.cash_sales - day.cash_refunds - day.cash_out);
  out += R"( T="0"></IO><M NM="ГРОШІ")";
  attr(out, "SMI", day.cash_sales);
  attr(out, "SMO", day.cash_refunds);
  out += R"( T="0"></M><M NM="КРЕДИТ")";
  attr(out, "SMI", day.card_sales);
  out += R"( SMO="0" T="1"></M><NC)";
  attr(out, "NI", day.sales);
  attr(out, "NO", day.refunds);
  out += "></NC>";
  for (int g = 1; g <= 2; ++g) {
    out += R"(<TXS DTI="0" DTO="0" DTPR="0.00")";
    attr(out, "SMI", day.group_sales[g]);
    attr(out, "SMO", day.group_refunds[g]);
    out += " TS=\"";
    clock.put_date(out);
    out += '"';
    attr(out, "TX", g);
    out += " TXAL=\"0\"";
    attr(out, "TXI", day.group_tax[g]);
    attr(out, "TXO", day.group_refund_tax[g]);
    attr(out, "TXPR", rate_text(g));
    out += R"( TXTY="0"></TXS>)";
  }
  out += "</Z>";
}

}  // namespace

SyntheticJournal MakeSyntheticJournal(const SyntheticJournalOptions& options) {
  SyntheticJournal journal;
  Random random(options.seed);
  Clock clock;
  DayTotals day;
  std::string utf8;
  utf8.reserve(static_cast<std::size_t>(options.documents) * 2600);
  utf8 += "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<RQ V=\"1\">\r\n";
  int receipt_no = options.first_receipt_no;
  int zreport_no = options.first_zreport_no;
  int in_run = 0;
  const int per_z = options.receipts_per_zreport > 0 ? options.receipts_per_zreport : 100;
  const int min_lines = options.min_lines < 3 ? 3 : options.min_lines;
  const int max_lines = options.max_lines < min_lines ? min_lines : options.max_lines;
  for (int doc = 0; doc < options.documents; ++doc) {
    const int di = options.first_di + doc;
    open_document(utf8, di);
    if (in_run == per_z) {
      clock.advance(600);
      zreport(utf8, zreport_no, clock, day);
      close_document(utf8, clock, di, random);
      if (journal.zreports++ == 0) journal.first_zreport_no = zreport_no;
      journal.last_zreport_no = zreport_no++;
      in_run = 0;
      day = DayTotals{};
      clock.next_day();
      continue;
    }
    clock.advance(random.between(60, 420));
    if (in_run == 0) {
      service_receipt(utf8, random, receipt_no, clock, day, true);
      journal.lines += 2;
    } else if (in_run == per_z - 1 && per_z > 2) {
      service_receipt(utf8, random, receipt_no, clock, day, false);
      journal.lines += 2;
    } else {
      journal.lines += sale_receipt(utf8, random, receipt_no, clock, day, min_lines, max_lines);
    }
    close_document(utf8, clock, di, random);
    if (journal.receipts++ == 0) journal.first_receipt_no = receipt_no;
    journal.last_receipt_no = receipt_no++;
    ++in_run;
  }
  utf8 += "</RQ>\r\n";
  journal.documents = options.documents;
  journal.text = Utf8ToCp1251(utf8);
  return journal;
}

}  // namespace tallyglass::bench
