#pragma once

// The pages the browsers of the desktop tests show: a draft in a text area that tells its value
// in the page title, and the test mail as a simple page and as webmail. The mail pages focus
// their composer as they load and whenever the page gets the focus back.
namespace desktoptest {

constexpr const char* kDraftPage = R"html(<!doctype html>
<html lang="ko"><head><meta charset="utf-8"><title>초안 - </title></head>
<body>
<textarea id="draft" rows="8" cols="60"></textarea>
<script>
  const draft = document.getElementById("draft");
  draft.addEventListener("input", () => { document.title = "초안 - " + draft.value; });
  draft.focus();
</script>
</body></html>
)html";

constexpr const char* kMailPage = R"html(<!doctype html>
<html lang="ko"><head><meta charset="utf-8"><title>받은 편지함</title></head>
<body>
<p>김민수 &lt;minsu@example.com&gt;</p>
<h2>회의 자료 검토 부탁드립니다</h2>
<p>안녕하세요, 다음 주 발표에 쓸 회의 자료를 첨부했습니다.</p>
<p>수치가 맞는지 금요일까지 한 번 확인해 주실 수 있을까요?</p>
<p>감사합니다. 김민수 드림</p>
<p>-----Original Message-----</p>
<p>From: 이서연 &lt;seoyeon@example.com&gt;</p>
<p>Sent: Monday, December 1, 2026 3:00 PM</p>
<p>Subject: 회의 일정</p>
<p>지난주에 말씀드린 회의 일정은 다음 주 화요일 오전 열 시로 확정되었습니다.</p>
<p>참석이 어려우시면 미리 알려 주세요.</p>
<p>답장</p>
<textarea id="composer" rows="8" cols="60"></textarea>
<script>
  const composer = document.getElementById("composer");
  composer.focus();
  window.addEventListener("focus", () => composer.focus());
</script>
</body></html>
)html";

// Webmail as it is built: nothing but <div>s and <span>s, the older mail quoted in a
// <blockquote>, the composer a contenteditable <div>.
constexpr const char* kWebmailPage = R"html(<!doctype html>
<html lang="ko"><head><meta charset="utf-8"><title>받은 편지함</title></head>
<body><div class="app">
<div class="thread"><div class="message">
<div class="from"><span class="name">김민수</span> <span>&lt;minsu@example.com&gt;</span></div>
<div class="subject"><span>회의 자료 검토 부탁드립니다</span></div>
<div class="body">
<div>안녕하세요, 다음 주 발표에 쓸 회의 자료를 첨부했습니다.</div>
<div>수치가 맞는지 <b>금요일까지</b> 한 번 확인해 주실 수 있을까요?</div>
<div>감사합니다. 김민수 드림</div>
<div>첨부: <a href="#">회의자료.pdf</a></div>
<div class="quote"><div>2026년 12월 1일 (월) 오후 3:00, 이서연 &lt;seoyeon@example.com&gt;님이 작성:</div>
<blockquote><div>지난주에 말씀드린 회의 일정은 다음 주 화요일 오전 열 시로 확정되었습니다.</div>
<div>참석이 어려우시면 미리 알려 주세요.</div></blockquote></div>
</div></div></div>
<div class="reply"><div>답장</div>
<div id="composer" contenteditable="true" style="min-height:8em"></div></div>
</div>
<script>
  const composer = document.getElementById("composer");
  composer.focus();
  window.addEventListener("focus", () => composer.focus());
</script></body></html>
)html";

}  // namespace desktoptest
