// Demo web console. The workbench reaches the root scope as
// window.angular.element('[ng-app]').scope() and the page calls the workbench through
// window.shopdeskNative(name, ...args) with string arguments.
(function () {
  'use strict';

  const customers = [
    { id: 'c1001', name: '李雷', avatar: 1 },
    { id: 'c1002', name: '韩梅梅', avatar: 2 },
    { id: 'c1003', name: 'Zhang Wei', avatar: 3 },
    { id: 'c1004', name: '王芳', avatar: 4 },
    { id: 'c1005', name: '赵敏', avatar: 5 },
    { id: 'c1006', name: 'Olivia Chen', avatar: 6 },
  ];
  const lines = ['请问明天的酒店还有房吗？', '订单可以改签到下周吗？', '这个套餐包含早餐吗？', '我已经付款了，请尽快确认。',
                 '能开发票吗？', '退款什么时候到账？', 'Is airport pickup included?'];
  const orders = [
    { title: '新订单已支付', text: '三亚海景房 2晚 · ¥1,280', kind: 'order_is_pay' },
    { title: '订单待确认', text: '丽江古城一日游 · 2 位成人', kind: 'order_wait_confirm' },
    { title: '退款申请', text: '上海迪士尼门票 · ¥475', kind: 'order_refund' },
  ];

  const state = { me: null, convs: new Map(), current: '', msgSeq: 1, configAsked: false };
  const $ = (id) => document.getElementById(id);
  const avatarUrl = (n) => location.origin + '/avatar/' + n + '.png';
  const pick = (list) => list[Math.floor(Math.random() * list.length)];

  // A panel keeps the newest lines only: a console left streaming for a day would otherwise
  // hold every call it ever made.
  const logLines = 500;
  function log(panel, cls, text) {
    const div = document.createElement('div');
    div.className = cls;
    div.textContent = new Date().toLocaleTimeString() + '  ' + text;
    const list = $(panel);
    list.prepend(div);
    while (list.childElementCount > logLines) list.lastElementChild.remove();
  }

  function callNative(name, ...args) {
    const strs = args.map(String);
    log('call-log', 'out', name + '(' + strs.map((s) => JSON.stringify(s)).join(', ') + ')');
    if (typeof window.shopdeskNative === 'function') window.shopdeskNative(name, ...strs);
  }

  // The root scope: what the workbench calls.
  const scope = {
    getWindowsConfig() {
      log('script-log', 'in', 'getWindowsConfig()');
      // Asked before the account is known: answered as soon as it is.
      if (!state.me) { state.configAsked = true; return; }
      reportConfig();
    },
    GetState() {
      log('script-log', 'in', 'GetState()');
      callNative('SendState', $('page-state').value, '');
    },
    ChangeState(a, b) {
      log('script-log', 'in', 'ChangeState(' + JSON.stringify(a) + ', ' + JSON.stringify(b) + ')');
      $('page-state').value = 'stop';
      setTimeout(() => callNative('QuitState', '1'), 600);
    },
    reLogin() {
      log('script-log', 'in', 'reLogin()');
      fetch('/admin/session', { credentials: 'same-origin' })
        .then((r) => callNative('ReLoginState', r.ok ? 'success' : 'fail'));
    },
    JumptoUser(id) {
      log('script-log', 'in', 'JumptoUser(' + JSON.stringify(id) + ')');
      if (state.convs.has(String(id))) open(String(id));
    },
  };
  window.angular = { element: () => ({ scope: () => scope }) };

  function reportConfig() {
    callNative('WindowsConfig', state.me.uid, state.me.name, state.me.avatar);
    callNative('WindowsInterface', 'IsOta', state.me.isOta ? '1' : '0', state.me.otaId);
  }

  function conv(c) {
    if (!state.convs.has(c.id)) state.convs.set(c.id, { c, unread: 0, msgs: [] });
    return state.convs.get(c.id);
  }

  function render() {
    const list = $('convs');
    list.textContent = '';
    for (const [id, v] of state.convs) {
      const row = document.createElement('div');
      row.className = 'conv' + (id === state.current ? ' active' : '');
      const img = document.createElement('img');
      img.src = avatarUrl(v.c.avatar);
      const text = document.createElement('div');
      const name = document.createElement('div');
      name.className = 'name';
      name.textContent = v.c.name;
      const last = document.createElement('div');
      last.className = 'last';
      last.textContent = v.msgs.length ? v.msgs[v.msgs.length - 1].text : '';
      text.append(name, last);
      row.append(img, text);
      if (v.unread) {
        const badge = document.createElement('span');
        badge.className = 'badge';
        badge.textContent = v.unread;
        row.append(badge);
      }
      row.onclick = () => open(id);
      list.append(row);
    }
    const cur = state.convs.get(state.current);
    $('chat-title').textContent = cur ? cur.c.name : '选择一个会话';
    const msgs = $('chat-msgs');
    msgs.textContent = '';
    for (const m of cur ? cur.msgs : []) {
      const b = document.createElement('div');
      b.className = 'bubble' + (m.me ? ' me' : '');
      b.textContent = m.text;
      msgs.append(b);
    }
  }

  function open(id) {
    state.current = id;
    const v = state.convs.get(id);
    if (v && v.unread) {
      v.unread = 0;
      callNative('MessageRead', id);
    }
    render();
  }

  function incoming(c, text) {
    const v = conv(c);
    v.msgs.push({ text });
    if (c.id !== state.current) v.unread += 1;
    render();
    return v;
  }

  function simUnread() {
    const c = pick(customers);
    const v = incoming(c, pick(lines));
    callNative('UnReadMessage', c.id, c.name, v.unread, v.msgs[v.msgs.length - 1].text, avatarUrl(c.avatar));
  }

  function simHandle(kind) {
    const c = pick(customers);
    const text = kind === 'newcomer' ? c.name + ' 进入了店铺' : pick(lines);
    const v = incoming(c, text);
    callNative('HandleMessage', c.id, c.name, kind, text, avatarUrl(c.avatar), c.id === state.current ? '1' : '0',
               'm' + state.msgSeq++);
    return v;
  }

  function simOrder() {
    const o = pick(orders);
    callNative('HandleMessage', '', o.title, 'order', o.text, '', '0', 'm' + state.msgSeq++);
  }

  function simOta() {
    const o = orders[0];
    callNative('WindowsInterface', 'OtaMessage', o.title, o.text, location.origin + '/admin/orders/8801', o.kind);
  }

  let timer = 0;
  function stream() {
    clearInterval(timer);
    if (!$('sim-stream').checked) return;
    const period = Math.max(1, Number($('sim-period').value) || 6) * 1000;
    timer = setInterval(() => pick([simUnread, simUnread, () => simHandle('conversation'),
                                    () => simHandle('newcomer'), simOrder, simOta])(), period);
  }

  $('sim-unread').onclick = simUnread;
  $('sim-handle').onclick = () => simHandle('conversation');
  $('sim-newcomer').onclick = () => simHandle('newcomer');
  $('sim-order').onclick = simOrder;
  $('sim-ota').onclick = simOta;
  $('sim-read').onclick = () => { for (const [id, v] of state.convs) if (v.unread) { open(id); break; } };
  $('sim-other').onclick = () => callNative('OtherPlaceLogin');
  $('sim-change').onclick = () => callNative('ChangeUser');
  $('sim-config').onclick = () => scope.getWindowsConfig();
  $('sim-stream').onchange = stream;
  $('sim-period').onchange = stream;
  $('sign-out').onclick = () => fetch('/admin/logout', { method: 'POST' }).then(() => { location.href = '/admin'; });
  $('reply').onsubmit = (e) => {
    e.preventDefault();
    const v = state.convs.get(state.current);
    const text = $('reply-text').value.trim();
    if (!v || !text) return;
    v.msgs.push({ text, me: true });
    $('reply-text').value = '';
    render();
    callNative('WindowsInterface', 'EventSendMsg', v.c.id, text, 'm' + state.msgSeq++, '0');
  };

  $('bridge-state').textContent = typeof window.shopdeskNative === 'function'
    ? '' : '（未在工作台中打开：调用只记录在右侧）';
  const params = new URLSearchParams(location.search);
  if (params.get('stream') === '1') { $('sim-stream').checked = true; stream(); }

  fetch('/admin/session', { credentials: 'same-origin' }).then((r) => {
    if (!r.ok) { location.href = '/admin?uid=' + encodeURIComponent(params.get('uid') || ''); return null; }
    return r.json();
  }).then((me) => {
    if (!me) return;
    state.me = me;
    $('me-name').textContent = me.name;
    $('me-avatar').src = me.avatar;
    customers.slice(0, 3).forEach((c) => incoming(c, pick(lines)));
    for (const v of state.convs.values()) v.unread = 0;
    render();
    if (state.configAsked) reportConfig();
    if (me.stream > 0) {
      $('sim-period').value = me.stream;
      $('sim-stream').checked = true;
      stream();
    }
  });
})();
