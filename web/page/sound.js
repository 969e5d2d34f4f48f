// Beeps at the frequency and for the duration the program asks, through WebAudio. Browsers
// only start audio after a user gesture, so the context is created on the first one; beeps
// requested before that are dropped rather than queued (they would all sound at once).
'use strict';
window.Kaptiv = window.Kaptiv || {};

Kaptiv.Sound = (() => {
  let context = null;
  let nextFree = 0; // beeps follow one another, like the original's blocking Beep()

  function unlock() {
    if (!context) {
      const Context = window.AudioContext || window.webkitAudioContext;
      if (Context) context = new Context();
    }
    if (context && context.state === 'suspended') context.resume();
  }
  for (const name of ['pointerdown', 'keydown']) window.addEventListener(name, unlock, { capture: true });

  function beep(freq, ms) {
    const record = { freq, ms, at: performance.now(), played: false };
    Kaptiv.Sound.log.push(record);
    if (Kaptiv.Sound.log.length > 100) Kaptiv.Sound.log.shift();
    if (!context || context.state !== 'running') return;
    const f = Math.min(Math.max(freq, 37), 20000);
    const seconds = Math.min(Math.max(ms, 0), 5000) / 1000;
    const start = Math.max(context.currentTime, nextFree);
    const osc = context.createOscillator();
    const gain = context.createGain();
    osc.type = 'square';
    osc.frequency.value = f;
    gain.gain.setValueAtTime(0.08, start);
    gain.gain.setValueAtTime(0.08, start + Math.max(seconds - 0.01, 0));
    gain.gain.linearRampToValueAtTime(0, start + seconds);
    osc.connect(gain).connect(context.destination);
    osc.start(start);
    osc.stop(start + seconds);
    nextFree = start + seconds;
    record.played = true;
  }

  return { beep, log: [] };
})();
