'use strict';
// The keypad page: the window's twelve keys over serve's event socket. A key that holds (zoom,
// focus, the locks) goes down on pointerdown and up on whatever ends the touch, the focus or the
// page; while it is down its lease is renewed, so that serve lets go by itself of a page that
// froze, slept or lost its network. Below the keys, a button per macro of serve's macros file runs
// it (a touch on the one running cancels it).
(() => {
  // The window's form, as a grid of three columns: [key, row, column].
  const layout = [
    ['live', 1, 1], ['normal', 1, 3],
    ['zoom-in', 2, 2],
    ['focus-in', 3, 1], ['menu', 3, 2], ['focus-out', 3, 3],
    ['zoom-out', 4, 2],
    ['ae', 5, 1], ['awb', 5, 3],
    ['lock2', 6, 1], ['lock1', 6, 2], ['lock3', 6, 3],
  ];
  // The window's keyboard (KeyboardEvent.key, letters in lower case).
  const keyboard = {
    ArrowUp: 'zoom-in', ArrowDown: 'zoom-out', ArrowLeft: 'focus-in', ArrowRight: 'focus-out',
    Enter: 'menu', l: 'live', n: 'normal', w: 'awb', a: 'ae', 1: 'lock1', 2: 'lock2', 3: 'lock3',
  };
  const renewEvery = 250;
  const retryFirst = 250;
  const retryMost = 5000;

  const keys = new Map(JSON.parse(document.getElementById('keys').textContent).map((k) => [k.key, k]));
  const statusLine = document.getElementById('status');
  const deviceBar = document.getElementById('devices');
  const keypad = document.getElementById('keypad');
  const macroBar = document.getElementById('macros');
  const buttons = new Map();
  let running = new Map(); // device id -> {macro, client}

  let socket = null;
  let connected = false;
  let me = '';
  let devices = [];
  let served = null;
  let chosen = stored('velmora-device');
  let held = new Map(); // device id -> [{key, client}]
  let mine = null; // the key this page holds: {key, device, source, timer}
  let nextId = 1;
  const started = new Map(); // message id -> when its pointerdown or keydown happened
  let retries = 0;
  let retryTimer = 0;

  function stored(name) {
    try {
      return localStorage.getItem(name);
    } catch {
      return null;
    }
  }
  function store(name, value) {
    try {
      localStorage.setItem(name, value);
    } catch {
      // Storage off: the value lasts as long as the page.
    }
  }

  // The token comes in the address's fragment (#token=...), which no request carries: kept for
  // this origin and taken out of the address bar.
  let token = stored('velmora-token') || '';
  const fragment = /(?:^#|&)token=([^&]*)/.exec(location.hash);
  if (fragment) {
    try {
      token = decodeURIComponent(fragment[1]);
    } catch {
      token = fragment[1];
    }
    store('velmora-token', token);
    history.replaceState(null, '', location.pathname + location.search);
  }
  function protocols() {
    const list = ['velmora'];
    if (token) {
      const hex = Array.from(new TextEncoder().encode(token), (b) => b.toString(16).padStart(2, '0'));
      list.push('velmora-token.' + hex.join(''));
    }
    return list;
  }

  // The page changes only what differs: a change costs a frame, which a reply would wait behind.
  function setState(state, text) {
    if (document.body.dataset.state !== state) document.body.dataset.state = state;
    if (statusLine.textContent !== text) statusLine.textContent = text;
  }
  function setHolder(button, held, text, title) {
    if (button.dataset.held !== held) {
      if (held) button.dataset.held = held;
      else delete button.dataset.held;
    }
    const holder = button.querySelector('small');
    if (holder.textContent !== text) holder.textContent = text;
    if (button.title !== title) button.title = title;
  }

  function shortClient(client) {
    return client === me ? 'you' : client.replace(/^socket /, '');
  }

  // --- what the page shows

  function buildKeys() {
    for (const [name, row, column] of layout) {
      const key = keys.get(name);
      if (!key) continue;
      const button = document.createElement('button');
      button.className = 'key';
      button.type = 'button';
      button.dataset.key = name;
      button.style.gridArea = `${row} / ${column}`;
      button.textContent = key.caption;
      button.append(document.createElement('small'));
      listen(button, name);
      keypad.append(button);
      buttons.set(name, button);
    }
  }

  function target() {
    if (chosen && devices.some((d) => d.id === chosen)) return chosen;
    return served;
  }

  function showDevices() {
    deviceBar.replaceChildren();
    const current = target();
    for (const device of devices) {
      const button = document.createElement('button');
      button.type = 'button';
      button.setAttribute('aria-pressed', String(device.id === current));
      button.textContent = device.label.replace(/\s+/g, ' ');
      const id = document.createElement('small');
      id.textContent = device.id;
      button.append(id);
      button.addEventListener('click', () => {
        if (device.id === target()) return;
        letGo();
        chosen = device.id;
        store('velmora-device', chosen);
        showDevices();
        showHeld();
        showRunning();
      });
      deviceBar.append(button);
    }
  }

  function showHeld() {
    const holds = held.get(target()) || [];
    for (const [name, button] of buttons) {
      const hold = holds.find((h) => h.key === name);
      if (!hold) setHolder(button, undefined, '', '');
      else setHolder(button, hold.client === me ? 'mine' : 'other', shortClient(hold.client), 'held by ' + hold.client);
    }
  }

  function showMacros(names) {
    macroBar.replaceChildren();
    for (const name of names) {
      const button = document.createElement('button');
      button.type = 'button';
      button.dataset.macro = name;
      button.textContent = name;
      button.addEventListener('click', () => {
        const device = target();
        if (!connected || !device) return;
        const run = running.get(device);
        if (run && run.macro === name) send({ macro: 'running', action: 'cancel', device });
        else send({ macro: name, device }, performance.now());
      });
      macroBar.append(button);
    }
    showRunning();
  }

  function showRunning() {
    const run = running.get(target());
    for (const button of macroBar.children) {
      if (run && run.macro === button.dataset.macro) button.dataset.running = run.client === me ? 'mine' : 'other';
      else delete button.dataset.running;
    }
  }

  function showConnected() {
    const device = devices.find((d) => d.id === target());
    setState('connected', device ? 'Connected' : 'Connected: no camera');
  }

  // --- the socket

  function send(message, at) {
    if (!socket || !connected) return;
    if (at !== undefined) {
      message.id = nextId++;
      started.set(message.id, at);
    }
    socket.send(JSON.stringify(message));
  }

  function connect() {
    clearTimeout(retryTimer);
    retryTimer = 0;
    if (socket) return;
    setState('connecting', retries ? 'Connecting again…' : 'Connecting…');
    const ws = new WebSocket(`ws://${location.host}/v1/events`, protocols());
    socket = ws;
    ws.onmessage = (message) => {
      if (socket === ws) onEvent(JSON.parse(message.data));
    };
    ws.onclose = () => {
      if (socket !== ws) return;
      const wasConnected = connected;
      socket = null;
      connected = false;
      letGo();
      started.clear();
      const delay = Math.min(retryMost, retryFirst * 2 ** retries) * (0.75 + Math.random() / 2);
      retries += 1;
      setState('offline', `Disconnected: trying again in ${Math.ceil(delay / 1000)} s`);
      retryTimer = setTimeout(connect, delay);
      // Refused before it opened: say why, when it is the token.
      if (!wasConnected) {
        fetch('/v1', { headers: token ? { Authorization: 'Bearer ' + token } : {}, cache: 'no-store' })
          .then((answer) => {
            if (answer.status === 401 && socket === null) {
              setState('offline', 'The token was refused: open the address with #token=… again');
            }
          })
          .catch(() => {});
      }
    };
  }

  function onEvent(event) {
    switch (event.event) {
      case 'hello':
        connected = true;
        retries = 0;
        me = event.client;
        devices = event.devices;
        served = event.served;
        held = new Map();
        for (const hold of event.held) {
          if (!held.has(hold.device)) held.set(hold.device, []);
          held.get(hold.device).push(hold);
        }
        running = new Map();
        showDevices();
        showHeld();
        showMacros(event.macros || []);
        showConnected();
        break;
      case 'macro-started':
        if (event.macro) running.set(event.device.id, { macro: event.macro, client: event.client });
        showRunning();
        break;
      case 'macro-finished':
      case 'macro-cancelled':
        if (event.device && (running.get(event.device.id) || {}).macro === event.macro) running.delete(event.device.id);
        showRunning();
        if (event.device) held.set(event.device.id, event.held || []);
        showHeld();
        break;
      case 'arrival':
        devices = devices.filter((d) => d.id !== event.device.id).concat([event.device]);
        if (!served) served = event.device.id;
        showDevices();
        showConnected();
        break;
      case 'removal':
        devices = devices.filter((d) => d.id !== event.device.id);
        held.delete(event.device.id);
        if (served === event.device.id) served = devices.length ? devices[0].id : null;
        if (mine && mine.device === event.device.id) stopRenewing();
        showDevices();
        showHeld();
        showConnected();
        break;
      case 'key':
      case 'macro-step':
      case 'hold-released':
        if (!event.device) break;
        held.set(event.device.id, event.held || []);
        if (mine && mine.device === event.device.id && !(event.held || []).some(
          (h) => h.key === mine.key && h.client === me)) {
          stopRenewing(); // released by another key, the hold limit or the lease
        }
        showHeld();
        break;
      case 'reply':
        onReply(event);
        break;
      default:
        break; // events of later versions
    }
  }

  function onReply(reply) {
    const at = started.get(reply.id);
    if (at === undefined) return;
    started.delete(reply.id);
    performance.measure('velmora ' + reply.action, { start: at, end: performance.now() });
    if (!reply.ok && reply.error) {
      setState('connected', `${reply.macro || reply.key || 'key'}: ${reply.error.message}`);
    } else if (document.body.dataset.state === 'connected') {
      showConnected();
    }
  }

  // --- keys

  function press(name, source, at) {
    const key = keys.get(name);
    const device = target();
    if (!key || !connected || !device) return;
    if (key.release === null) {
      send({ key: name, action: 'click', device }, at);
      return;
    }
    // Another key of ours goes up first on the camera's one keypad: serve does that itself.
    stopRenewing();
    mine = { key: name, device, source };
    mine.timer = setInterval(() => send({ key: name, action: 'renew' }), renewEvery);
    send({ key: name, action: 'press', device, lease: true }, at);
  }

  function stopRenewing() {
    if (mine) clearInterval(mine.timer);
    mine = null;
  }

  // Releases the key held by source, or by anything when source is undefined.
  function release(source) {
    if (!mine || (source !== undefined && mine.source !== source)) return;
    const { key, device } = mine;
    stopRenewing();
    send({ key, action: 'release', device }, performance.now());
  }

  function letGo() {
    release(undefined);
  }

  function listen(button, name) {
    button.addEventListener('pointerdown', (event) => {
      if (event.button !== 0) return;
      event.preventDefault();
      try {
        button.setPointerCapture(event.pointerId);
      } catch {
        // A pointer already gone: its pointerup or pointercancel follows.
      }
      press(name, 'pointer ' + event.pointerId, performance.now());
    });
    for (const type of ['pointerup', 'pointercancel', 'lostpointercapture']) {
      button.addEventListener(type, (event) => release('pointer ' + event.pointerId));
    }
    button.addEventListener('contextmenu', (event) => event.preventDefault());
  }

  document.addEventListener('keydown', (event) => {
    if (event.ctrlKey || event.altKey || event.metaKey) return;
    const name = keyboard[event.key.length === 1 ? event.key.toLowerCase() : event.key];
    if (!name) return;
    // Enter on a focused camera button chooses that camera.
    if (event.key === 'Enter' && deviceBar.contains(document.activeElement)) return;
    event.preventDefault();
    if (!event.repeat) press(name, 'key ' + event.code, performance.now());
  });
  document.addEventListener('keyup', (event) => release('key ' + event.code));
  document.addEventListener('contextmenu', (event) => event.preventDefault());
  window.addEventListener('blur', letGo);
  window.addEventListener('pagehide', letGo);
  document.addEventListener('visibilitychange', () => {
    if (document.visibilityState === 'hidden') letGo();
    else if (!socket) connect();
  });
  window.addEventListener('online', () => {
    if (!socket) connect();
  });

  buildKeys();
  connect();
})();
