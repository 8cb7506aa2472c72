#include "service/batch_api.h"

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "service/batch_lookup.h"

namespace zentravo::lookup {
namespace {

constexpr std::string_view kReasonNotJson = "请求内容不是有效的 JSON";
constexpr std::string_view kReasonNotLinkArray = "请求内容应为由链接字符串组成的 JSON 数组";
constexpr std::string_view kReasonTooManyLinks = "一次最多查询 1000 个链接";
constexpr std::string_view kReasonBodyTooLarge = "请求内容太长，最多 1 MiB";
constexpr std::string_view kReasonOnlyPost = "只支持 POST 请求";

using Json = nlohmann::json;

// Reads exactly one array of strings and stops at the first thing that is not,
// so that neither deep nesting nor a huge array costs more than the links kept.
class LinkArrayReader : public nlohmann::json_sax<Json> {
 public:
  enum class Outcome { kLinks, kNotJson, kNotLinkArray, kTooManyLinks };

  Outcome outcome() const { return outcome_; }
  std::vector<std::string>& links() { return links_; }

  bool start_array(std::size_t) override {
    if (opened_) return Refuse(Outcome::kNotLinkArray);
    opened_ = true;
    return true;
  }
  bool end_array() override { return true; }
  bool string(string_t& value) override {
    if (!opened_) return Refuse(Outcome::kNotLinkArray);
    if (links_.size() == kMaxBatchLinks) return Refuse(Outcome::kTooManyLinks);
    links_.push_back(std::move(value));
    return true;
  }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
    // A refusal already said what was wrong; otherwise the text is not JSON.
    if (outcome_ == Outcome::kLinks) outcome_ = Outcome::kNotJson;
    return false;
  }

  bool null() override { return Refuse(Outcome::kNotLinkArray); }
  bool boolean(bool) override { return Refuse(Outcome::kNotLinkArray); }
  bool number_integer(number_integer_t) override { return Refuse(Outcome::kNotLinkArray); }
  bool number_unsigned(number_unsigned_t) override { return Refuse(Outcome::kNotLinkArray); }
  bool number_float(number_float_t, const string_t&) override { return Refuse(Outcome::kNotLinkArray); }
  bool binary(binary_t&) override { return Refuse(Outcome::kNotLinkArray); }
  bool start_object(std::size_t) override { return Refuse(Outcome::kNotLinkArray); }
  bool key(string_t&) override { return Refuse(Outcome::kNotLinkArray); }
  bool end_object() override { return Refuse(Outcome::kNotLinkArray); }

 private:
  bool Refuse(Outcome outcome) {
    outcome_ = outcome;
    return false;
  }

  Outcome outcome_ = Outcome::kLinks;
  bool opened_ = false;
  std::vector<std::string> links_;
};

Answer JsonAnswer(int status, std::string body) {
  Answer answer;
  answer.status = status;
  answer.body = std::move(body);
  answer.contentType = "application/json; charset=utf-8";
  answer.headers = {{"Cache-Control", "no-store"}, {"X-Content-Type-Options", "nosniff"}};
  return answer;
}

Answer JsonError(int status, std::string_view reason) {
  return JsonAnswer(status, Json{{"error", std::string(reason)}}.dump(-1, ' ', false));
}

}  // namespace

Answer AnswerBatchRequest(std::string_view method, std::string_view body) {
  if (method != "POST") {
    Answer answer = JsonError(405, kReasonOnlyPost);
    answer.headers.emplace_back("Allow", "POST");
    return answer;
  }

  LinkArrayReader reader;
  // sax_parse reports errors to the reader and returns false; it throws nothing.
  const bool read = Json::sax_parse(body.begin(), body.end(), &reader);
  if (!read || reader.outcome() != LinkArrayReader::Outcome::kLinks) {
    switch (reader.outcome()) {
      case LinkArrayReader::Outcome::kTooManyLinks: return JsonError(413, kReasonTooManyLinks);
      case LinkArrayReader::Outcome::kNotJson: return JsonError(400, kReasonNotJson);
      default: return JsonError(400, kReasonNotLinkArray);
    }
  }
  return JsonAnswer(200, LinkResultsJson(reader.links()));
}

Answer BatchBodyTooLarge() { return JsonError(413, kReasonBodyTooLarge); }

}  // namespace zentravo::lookup
