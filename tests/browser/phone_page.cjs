// Opens the phone page in headless Chromium, waits for the card of one gate,
// presses one of its buttons and waits for the page to reload without it.
// Usage: node phone_page.cjs <pairing URL> <text on the card> <allow|deny>
// Prints one JSON line: {"card": <card text>, "after": <page text after>}.
'use strict';
const path = require('path');

const modules = process.env.VORLA_NODE_MODULES;
const { chromium } = require(path.join(modules, 'playwright-core'));

async function main() {
  const [url, cardText, button] = process.argv.slice(2);
  const browser = await chromium.launch({
    executablePath: process.env.VORLA_CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: [
      '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync',
      // The pairing address names the computer as <host>.local; here that is us.
      '--host-resolver-rules=MAP *.local 127.0.0.1',
    ],
  });
  try {
    const page = await browser.newPage({ viewport: { width: 390, height: 844 } });
    await page.goto(url);
    const card = page.locator('.card', { hasText: cardText });
    await card.waitFor({ timeout: 15000 });
    const shown = await card.innerText();
    await card.locator(button === 'deny' ? 'button.deny' : 'button.allow').click();
    await page.locator('.empty').waitFor({ timeout: 15000 });
    const after = await page.locator('body').innerText();
    process.stdout.write(JSON.stringify({ card: shown, after }) + '\n');
  } finally {
    await browser.close();  // its fresh profile goes with it
  }
}

main().catch((error) => {
  process.stderr.write(`phone_page: ${error.stack || error}\n`);
  process.exit(1);
});
