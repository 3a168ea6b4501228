#!/usr/bin/python3
"""Reads an RSS 2.0 file with Python's XML parser and prints the values the feed
tests compare, one "name=value" line each, in UTF-8: channel.title, channel.link,
channel.description, channel.image, and item.K.title/link/date/enclosure/description
for the first eight items. Curly double quotes become straight ones, as the program
shows them."""
import sys
import xml.etree.ElementTree as ET

ITUNES = '{http://www.itunes.com/dtds/podcast-1.0.dtd}'


def clean(text):
    text = (text or '').replace('\u201c', '"').replace('\u201d', '"')
    return text.replace('\r', ' ').replace('\n', '\\n')


channel = ET.parse(sys.argv[1]).getroot().find('channel')
print('channel.title=' + clean(channel.findtext('title') or channel.findtext('link')))
print('channel.link=' + clean(channel.findtext('link')))
print('channel.description=' + clean(channel.findtext('description')))
image = channel.find(ITUNES + 'image')
if image is not None:
    print('channel.image=' + clean(image.get('href') or image.text))
else:
    print('channel.image=' + clean(channel.findtext('image/url')))
for k, item in enumerate(channel.findall('item')[:8]):
    enclosure = item.find('enclosure')
    print(f'item.{k}.title=' + clean(item.findtext('title')))
    print(f'item.{k}.link=' + clean(item.findtext('link')))
    print(f'item.{k}.date=' + clean(item.findtext('pubDate')))
    print(f'item.{k}.enclosure=' + clean(enclosure.get('url') if enclosure is not None else ''))
    print(f'item.{k}.description=' + clean(item.findtext('description')))
