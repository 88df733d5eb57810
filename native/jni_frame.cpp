// The shared frame of the JNI entry points.
#include "native/jni_frame.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "hydro/messages/message_text.h"
#include "hydro/messages/text_field.h"
#include "hydro/routing/work_storage.h"
#include "native/adapter_support.h"

namespace tovalin::jni {
namespace {

constexpr int kFixedMessageWidth = 80;
// Texts up to this length (and their zero byte) are returned from a buffer on the stack.
constexpr std::size_t kTextBufferSize = 128;
constexpr char kReplacementCharacter = '?';

// Length of the valid modified UTF-8 sequence that starts text[0], or 0 when it is not one.
// Four-byte sequences are not modified UTF-8 (characters beyond the basic plane travel as
// surrogate pairs), so they count as invalid.
std::size_t ValidSequenceLength(const unsigned char* text, std::size_t available) noexcept {
  const unsigned char lead = text[0];
  if (lead < 0x80) return 1;
  auto continuation = [&](std::size_t i) { return i < available && (text[i] & 0xC0) == 0x80; };
  if ((lead & 0xE0) == 0xC0) {
    return lead >= 0xC2 && continuation(1) ? 2 : 0;
  }
  if ((lead & 0xF0) == 0xE0) {
    if (!continuation(1) || !continuation(2)) return 0;
    return (lead == 0xE0 && text[1] < 0xA0) ? 0 : 3;  // no overlong forms
  }
  return 0;
}

// Replaces every byte that does not start or continue a valid sequence by '?', so that the
// virtual machine is never handed malformed text.
void MakeValidModifiedUtf8(char* text, std::size_t length) noexcept {
  auto* bytes = reinterpret_cast<unsigned char*>(text);
  std::size_t i = 0;
  while (i < length) {
    const std::size_t n = ValidSequenceLength(bytes + i, length - i);
    if (n == 0) {
      bytes[i] = kReplacementCharacter;
      ++i;
    } else {
      i += n;
    }
  }
}

}  // namespace

Frame::~Frame() { releaseAll(JNI_ABORT); }

bool Frame::reject(const char* format, const char* name, long long a, long long b) noexcept {
  if (fault_[0] != '\0') return false;  // the first fault in parameter order is reported
  std::snprintf(fault_.data(), fault_.size(), format, name, a, b);
  return false;
}

bool Frame::checkArray(const char* name, jarray array, std::int64_t minimumLength) noexcept {
  if (array == nullptr) return reject("Invalid arguments: %s is null", name);
  const jsize length = env_->GetArrayLength(array);
  if (length < minimumLength)
    return reject("Invalid arguments: %s has %lld elements, fewer than the %lld required", name,
                  length, minimumLength);
  return true;
}

void Frame::count(const char* name, jint value, jint minimum) noexcept {
  if (value >= minimum) return;
  if (minimum == 0)
    reject("Invalid arguments: %s is negative (%lld)", name, value);
  else
    reject("Invalid arguments: %s is %lld, fewer than %lld", name, value, minimum);
}

void Frame::doubles(const char* name, jdoubleArray array, std::int64_t minimumLength,
                    double*& slot) noexcept {
  if (doubleCount_ == kMaxDoubleArrays) {
    reject("Invalid arguments: %s exceeds the frame's array capacity", name);
    return;
  }
  if (!checkArray(name, array, minimumLength)) return;
  doubles_[doubleCount_++] = {array, &slot, nullptr, 0};
}

void Frame::results(const char* name, jdoubleArray array, std::int64_t length,
                    double*& slot) noexcept {
  const std::size_t before = doubleCount_;
  doubles(name, array, length, slot);
  if (doubleCount_ > before) doubles_[before].outputLength = length;
}

void Frame::chars(const char* name, jcharArray array, std::int64_t minimumLength,
                  const jchar*& slot, jsize& length) noexcept {
  if (!checkArray(name, array, minimumLength)) return;
  charArray_ = array;
  charSlot_ = &slot;
  length = env_->GetArrayLength(array);
}

void Frame::message(jbyteArray array, MessageWidth width) noexcept {
  const bool fixed = width == MessageWidth::kFixed80;
  if (!checkArray("message", array, fixed ? kFixedMessageWidth + 1 : 1)) return;
  messageArray_ = array;
  messageWidth_ = fixed ? kFixedMessageWidth : env_->GetArrayLength(array) - 1;
}

bool Frame::pinAll() noexcept {
  if (charArray_ != nullptr) {
    charElements_ = env_->GetCharArrayElements(charArray_, nullptr);
    if (charElements_ == nullptr) return false;
    *charSlot_ = charElements_;
  }
  for (std::size_t i = 0; i < doubleCount_; ++i) {
    DoubleArray& d = doubles_[i];
    d.elements = env_->GetDoubleArrayElements(d.array, nullptr);
    if (d.elements == nullptr) return false;  // the destructor releases what was pinned
    *d.slot = d.elements;
  }
  messageBytes_ = env_->GetByteArrayElements(messageArray_, nullptr);
  return messageBytes_ != nullptr;
}

void Frame::releaseAll(jint mode) noexcept {
  for (std::size_t i = 0; i < doubleCount_; ++i) {
    DoubleArray& d = doubles_[i];
    if (d.elements != nullptr) env_->ReleaseDoubleArrayElements(d.array, d.elements, mode);
    d.elements = nullptr;
  }
  if (charElements_ != nullptr) env_->ReleaseCharArrayElements(charArray_, charElements_, mode);
  charElements_ = nullptr;
  if (messageBytes_ != nullptr) env_->ReleaseByteArrayElements(messageArray_, messageBytes_, mode);
  messageBytes_ = nullptr;
}

jstring Frame::finish() noexcept {
  // The text runs to the first zero byte among the first W bytes, or is all W of them; a
  // zero byte closes it at index n <= W, which lies inside the array.
  char* bytes = reinterpret_cast<char*>(messageBytes_);
  const auto width = static_cast<std::size_t>(messageWidth_);
  const void* zero = std::memchr(bytes, '\0', width);
  const std::size_t n = zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - bytes) : width;
  bytes[n] = '\0';

  // The text is copied out before the arrays go back to the host; a message longer than the
  // stack buffer gets a buffer of its own size, within a call's storage limit.
  std::array<char, kTextBufferSize> small{};
  std::unique_ptr<char[]> large;
  char* text = small.data();
  if (n + 1 > small.size()) {
    if (WithinStorageLimit(n + 1)) large.reset(new (std::nothrow) char[n + 1]);
    if (!large) {
      releaseAll(0);
      return env_->NewStringUTF("Invalid arguments: message is too long to return");
    }
    text = large.get();
  }
  std::memcpy(text, bytes, n + 1);
  releaseAll(0);
  MakeValidModifiedUtf8(text, n);
  return env_->NewStringUTF(text);
}

jstring Frame::failInternally() noexcept {
  const adapters::InternalErrorText text(entryPoint_);
  for (std::size_t i = 0; i < doubleCount_; ++i) {
    const DoubleArray& d = doubles_[i];
    if (d.elements != nullptr && d.outputLength > 0)
      std::fill_n(d.elements, d.outputLength, undefinedDbl());
  }
  TextField(reinterpret_cast<char*>(messageBytes_), messageWidth_).assign(text.view());
  releaseAll(0);
  // What the exception says may be any bytes.
  std::array<char, kTextBufferSize> returned{};
  const std::size_t n = std::min(text.view().size(), returned.size() - 1);
  std::memcpy(returned.data(), text.c_str(), n);
  MakeValidModifiedUtf8(returned.data(), n);
  return env_->NewStringUTF(returned.data());
}

}  // namespace tovalin::jni
