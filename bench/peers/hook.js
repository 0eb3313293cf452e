// A typical Node hook: parse the payload, build an event, send one line.
const net = require('net'), os = require('os'), crypto = require('crypto');
let input = '';
process.stdin.on('data', (d) => (input += d));
process.stdin.on('end', () => {
  const p = JSON.parse(input);
  const event = { id: crypto.randomUUID().toUpperCase(), source: 'claude', event: 'postToolUse',
    rawEvent: p.hook_event_name || 'unknown', gating: false, toolName: p.tool_name,
    toolInput: p.tool_input, terminal: { ppid: process.ppid }, ts: Date.now() / 1000 };
  const s = net.createConnection(os.homedir() + '/.vorla-agents/run/vorla.sock', () => {
    s.end(JSON.stringify(event) + '\n');
  });
});
