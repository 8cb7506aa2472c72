// The lookup page: sends the pasted links to the batch API and shows one row per
// link. Everything it shows is set as text, never as markup, since links and
// reasons are whatever the user pasted.
'use strict';

(() => {
  // The API takes at most this many links and bytes per call; more are sent in turns.
  const MAX_LINKS_PER_CALL = 1000;
  const MAX_BYTES_PER_CALL = 1024 * 1024;

  const linksBox = document.getElementById('links');
  const queryButton = document.getElementById('query');
  const statusLine = document.getElementById('status');
  const answerSection = document.getElementById('answer');
  const resultList = document.getElementById('results');
  const copyAllButton = document.getElementById('copy-all');

  let foundUids = [];

  function linksOf(text) {
    return text.split(/\r?\n/).map((line) => line.trim()).filter((line) => line !== '');
  }

  // Splits links into calls the API accepts: by count, and by the size of the JSON body.
  function callsFor(links) {
    const encoder = new TextEncoder();
    const calls = [];
    let call = [];
    let bytes = 2;
    for (const link of links) {
      const size = encoder.encode(JSON.stringify(link)).length + 1;
      if (call.length > 0 && (call.length === MAX_LINKS_PER_CALL || bytes + size > MAX_BYTES_PER_CALL)) {
        calls.push(call);
        call = [];
        bytes = 2;
      }
      call.push(link);
      bytes += size;
    }
    if (call.length > 0) calls.push(call);
    return calls;
  }

  async function askService(links) {
    const response = await fetch('/api/uids', {
      method: 'POST',
      headers: { 'Content-Type': 'application/json' },
      body: JSON.stringify(links),
      cache: 'no-store',
    });
    let answer = null;
    try {
      answer = await response.json();
    } catch (e) {
      answer = null;
    }
    if (!response.ok || !Array.isArray(answer)) {
      const reason = answer && typeof answer.error === 'string' ? answer.error : `查询服务出错（${response.status}）`;
      throw new Error(reason);
    }
    return answer;
  }

  function element(tag, className, text) {
    const node = document.createElement(tag);
    if (className) node.className = className;
    if (text !== undefined) node.textContent = text;
    return node;
  }

  function resultRow(result) {
    const row = element('li', 'result');
    row.append(element('span', 'link', result.link));
    if (typeof result.uid === 'string') {
      row.classList.add('found');
      row.dataset.uid = result.uid;
      row.append(element('span', 'uid', result.uid));
      const account = element('a', 'account', `weibo.com/u/${result.uid}`);
      account.href = `https://weibo.com/u/${encodeURIComponent(result.uid)}`;
      account.target = '_blank';
      account.rel = 'noopener noreferrer';
      row.append(account);
      const copy = element('button', 'copy', '复制');
      copy.type = 'button';
      copy.setAttribute('aria-label', `复制 UID ${result.uid}`);
      copy.addEventListener('click', () => copyText(result.uid));
      row.append(copy);
    } else {
      row.classList.add('failed');
      row.append(element('span', 'reason', String(result.error ?? '无法识别')));
    }
    return row;
  }

  function showResults(results) {
    resultList.replaceChildren(...results.map(resultRow));
    foundUids = results.filter((result) => typeof result.uid === 'string').map((result) => result.uid);
    copyAllButton.disabled = foundUids.length === 0;
    answerSection.hidden = false;
    const failed = results.length - foundUids.length;
    statusLine.textContent = failed === 0 ? `已识别 ${foundUids.length} 个链接` :
        `已识别 ${foundUids.length} 个链接，${failed} 个无法识别`;
  }

  async function query() {
    if (queryButton.disabled) return;
    const links = linksOf(linksBox.value);
    if (links.length === 0) {
      statusLine.textContent = '请输入微博图片链接';
      linksBox.focus();
      return;
    }
    queryButton.disabled = true;
    statusLine.textContent = '正在查询…';
    try {
      const results = [];
      for (const call of callsFor(links)) results.push(...await askService(call));
      showResults(results);
    } catch (error) {
      statusLine.textContent = error instanceof TypeError ? '无法连接查询服务' : error.message;
    } finally {
      queryButton.disabled = false;
    }
  }

  // The clipboard API needs a secure context and permission; the older copy
  // command covers the rest.
  async function copyText(text) {
    try {
      await navigator.clipboard.writeText(text);
    } catch (e) {
      const scratch = element('textarea');
      scratch.value = text;
      scratch.setAttribute('readonly', '');
      scratch.className = 'offscreen';
      document.body.append(scratch);
      scratch.select();
      const copied = document.execCommand('copy');
      scratch.remove();
      if (!copied) {
        statusLine.textContent = '无法写入剪贴板';
        return;
      }
    }
    statusLine.textContent = '已复制';
  }

  queryButton.addEventListener('click', query);
  copyAllButton.addEventListener('click', () => copyText(foundUids.join('\n')));
  linksBox.addEventListener('keydown', (event) => {
    if (event.key === 'Enter' && (event.ctrlKey || event.metaKey)) {
      event.preventDefault();
      query();
    }
  });
})();
